// Bytes per second from a pseudo-terminal into GetBlock, against a plain
// read() loop on the same kind of pair.
#include <unistd.h>

#include <thread>

#include "bench/serial_bench_util.h"

namespace {

constexpr size_t kTotal = size_t(256) << 20;
constexpr size_t kChunk = 65536;

// Sends kTotal bytes from the master, repeating one pattern block.
std::thread StartBox(TPtyPair& Pty, const std::vector<uint8_t>& Block) {
  return std::thread([&Pty, &Block] {
    for (size_t Sent = 0; Sent < kTotal; Sent += Block.size()) Pty.Write(Block);
  });
}

uint64_t ExpectedHash(const std::vector<uint8_t>& Block) {
  THash H;
  for (size_t Sent = 0; Sent < kTotal; Sent += Block.size()) H.Add(Block.data(), Block.size());
  return H.H;
}

double PlainLoop(const std::vector<uint8_t>& Block, uint64_t& Hash) {
  TPtyPair Pty;
  const int Fd = Pty.SlaveFd();
  std::vector<uint8_t> Buf(kChunk);
  THash H;
  const auto Start = TClock::now();
  std::thread Box = StartBox(Pty, Block);
  size_t Got = 0;
  while (Got < kTotal) {
    const ssize_t N = read(Fd, Buf.data(), Buf.size());  // the slave blocks
    if (N > 0) {
      H.Add(Buf.data(), size_t(N));
      Got += size_t(N);
    }
  }
  const double S = Seconds(TClock::now() - Start);
  Box.join();
  Hash = H.H;
  return S;
}

double DispatcherLoop(const std::vector<uint8_t>& Block, uint64_t& Hash) {
  TBenchPort Port;
  std::vector<uint8_t> Buf(8192);
  THash H;
  const auto Start = TClock::now();
  std::thread Box = StartBox(Port.Pty, Block);
  size_t Got = 0;
  while (Got < kTotal) {
    if (Port.D->WaitForData(1, std::chrono::seconds(10)) != TDataWait::Ready) break;
    const uint32_t N = uint32_t(std::min<int32_t>(Port.D->InBuffUsed(), 8192));
    if (Port.D->GetBlock(Buf.data(), N) != int32_t(N)) break;
    H.Add(Buf.data(), N);
    Got += N;
  }
  const double S = Seconds(TClock::now() - Start);
  Box.join();
  Hash = Got == kTotal ? H.H : 0;
  return S;
}

}  // namespace

int main() {
  const auto Block = BenchPattern(kChunk);
  const uint64_t Want = ExpectedHash(Block);
  uint64_t PlainHash = 0, DispHash = 0;
  const double Plain = PlainLoop(Block, PlainHash);
  const double Disp = DispatcherLoop(Block, DispHash);
  const double Mb = double(kTotal) / 1e6;
  std::printf("throughput: %zu MiB through a pseudo-terminal\n", kTotal >> 20);
  std::printf("  plain read() loop : %8.1f MB/s%s\n", Mb / Plain,
              PlainHash == Want ? "" : "  (DATA MISMATCH)");
  std::printf("  dispatcher        : %8.1f MB/s%s\n", Mb / Disp,
              DispHash == Want ? ", byte-exact" : "  (DATA MISMATCH)");
  std::printf("  dispatcher/plain  : %8.2f (goal >= 0.5)\n", Plain / Disp);
  return DispHash == Want ? 0 : 1;
}
