// Time to close a port (all four threads ended) while bytes keep arriving.
#include <unistd.h>

#include <atomic>
#include <thread>

#include "bench/serial_bench_util.h"

int main() {
  constexpr int kRounds = 20;
  std::vector<double> Ms;
  for (int I = 0; I < kRounds; ++I) {
    TBenchPort Port;
    std::atomic<bool> Stop{false};
    std::thread Box([&] {
      const auto Block = BenchPattern(4096);
      while (!Stop) {
        if (write(Port.Pty.MasterFd(), Block.data(), Block.size()) < 0) {
          std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
      }
    });
    // A reader that keeps taking bytes, like a download in progress.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<uint8_t> Buf(8192);
    Port.D->GetBlock(Buf.data(), uint32_t(std::min(Port.D->InBuffUsed(), 8192)));
    const auto Start = TClock::now();
    Port.D->DonePort();
    const bool Ended = Port.D->ThreadCountNow() == 0;
    Ms.push_back(Seconds(TClock::now() - Start) * 1e3);
    Stop = true;
    Box.join();
    if (!Ended) {
      std::fprintf(stderr, "threads still running after close\n");
      return 1;
    }
  }
  std::sort(Ms.begin(), Ms.end());
  std::printf("close: DonePort with traffic flowing, %d rounds\n", kRounds);
  std::printf("  median %6.2f ms   max %6.2f ms (goal < 200 ms)\n", Ms[kRounds / 2], Ms.back());
  return 0;
}
