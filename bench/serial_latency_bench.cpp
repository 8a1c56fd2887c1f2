// Time from a byte written on the master to WaitForData returning, with the
// same measure for a plain blocking read() on another pair as the floor the
// machine sets.
#include <unistd.h>

#include <thread>

#include "bench/serial_bench_util.h"

namespace {

constexpr int kTrials = 1000;

struct TPercentiles {
  double P50, P99, Max;
};

TPercentiles Summarise(std::vector<double> Us) {
  std::sort(Us.begin(), Us.end());
  return {Us[Us.size() / 2], Us[Us.size() * 99 / 100], Us.back()};
}

// Runs Trials of: let every thread fall asleep (as between two packets),
// write one byte on the master, time Receive until it has the byte.
template <class TReceive>
bool Measure(TPtyPair& Pty, TReceive Receive, std::vector<double>& Us) {
  for (int I = 0; I < kTrials; ++I) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const uint8_t B = uint8_t(I);
    const auto Start = TClock::now();
    Pty.Write(&B, 1);
    uint8_t Got = 0;
    if (!Receive(Got)) return false;
    Us.push_back(Seconds(TClock::now() - Start) * 1e6);
    if (Got != B) return false;
  }
  return true;
}

}  // namespace

int main() {
  std::vector<double> Plain, Disp;
  {
    TPtyPair Pty;
    const int Fd = Pty.SlaveFd();  // blocking
    if (!Measure(
            Pty, [Fd](uint8_t& B) { return read(Fd, &B, 1) == 1; }, Plain))
      return 1;
  }
  {
    TBenchPort Port;
    auto Receive = [&](uint8_t& B) {
      if (Port.D->WaitForData(1, std::chrono::seconds(5)) != TDataWait::Ready) return false;
      return Port.D->GetChar(B) == 0;
    };
    if (!Measure(Port.Pty, Receive, Disp)) {
      std::fprintf(stderr, "a byte was lost or changed\n");
      return 1;
    }
  }
  const TPercentiles P = Summarise(Plain), D = Summarise(Disp);
  std::printf("latency: master write -> byte in hand, %d trials\n", kTrials);
  std::printf("  plain read()  p50 %7.1f us   p99 %7.1f us   max %7.1f us\n", P.P50, P.P99, P.Max);
  std::printf("  WaitForData   p50 %7.1f us   p99 %7.1f us   max %7.1f us (goal p99 < 2000 us)\n",
              D.P50, D.P99, D.Max);
  return 0;
}
