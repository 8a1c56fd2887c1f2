// Time from a byte written on the master to WaitForData returning.
#include <thread>

#include "bench/serial_bench_util.h"

int main() {
  constexpr int kTrials = 1000;
  TBenchPort Port;
  std::vector<double> Us;
  Us.reserve(kTrials);
  for (int I = 0; I < kTrials; ++I) {
    // Let every thread fall asleep first, as between two packets.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const uint8_t B = uint8_t(I);
    const auto Start = TClock::now();
    Port.Pty.Write(&B, 1);
    if (Port.D->WaitForData(1, std::chrono::seconds(5)) != TDataWait::Ready) {
      std::fprintf(stderr, "byte %d lost\n", I);
      return 1;
    }
    Us.push_back(Seconds(TClock::now() - Start) * 1e6);
    uint8_t Got;
    Port.D->GetChar(Got);
    if (Got != B) {
      std::fprintf(stderr, "byte %d wrong\n", I);
      return 1;
    }
  }
  std::sort(Us.begin(), Us.end());
  std::printf("latency: master write -> WaitForData, %d trials\n", kTrials);
  std::printf("  p50 %7.1f us   p99 %7.1f us   max %7.1f us (goal p99 < 2000 us)\n",
              Us[kTrials / 2], Us[kTrials * 99 / 100], Us.back());
  return 0;
}
