// CPU time of an open port with no traffic.
#include <sys/resource.h>

#include <thread>

#include "bench/serial_bench_util.h"

namespace {
double CpuSeconds() {
  rusage U{};
  getrusage(RUSAGE_SELF, &U);
  return double(U.ru_utime.tv_sec + U.ru_stime.tv_sec) +
         double(U.ru_utime.tv_usec + U.ru_stime.tv_usec) / 1e6;
}
}  // namespace

int main() {
  constexpr double kSeconds = 10;
  TBenchPort Port;
  const double Cpu0 = CpuSeconds();
  const auto Start = TClock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds));
  const double Wall = Seconds(TClock::now() - Start);
  const double Cpu = CpuSeconds() - Cpu0;
  std::printf("idle: port open %.1f s without traffic\n", Wall);
  std::printf("  CPU %.4f s = %.3f%% of one core (goal < 1%%)\n", Cpu, 100 * Cpu / Wall);
  return 0;
}
