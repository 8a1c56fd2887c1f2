// What the receiver's wait for a silent box costs: the whole Level 1 wait
// (10 to 11 s) in CPU time.
#include <csignal>

#include "bench/recv_bench_util.h"
#include "tools/boxsim/fault.h"

using namespace recv_bench;

int main() {
  boxsim::BoxOptions options;
  options.faults.push_back(*boxsim::Fault::Parse("silence"));
  TScratchDir dir;
  boxsim::BoxSimulator box(options);
  auto recv = StartRecv(box, dir.Path());
  const auto start = Clock::now();
  std::optional<std::string> line;
  while ((line = recv->Line(std::chrono::seconds(30))) && *line != "Level 1: Timeout!!!") {
  }
  const double waited = Seconds(Clock::now() - start);
  recv->Signal(SIGINT);
  recv->Wait();
  if (!line) {
    std::fprintf(stderr, "no Level 1 timeout: %s\n", recv->Stderr().c_str());
    return 1;
  }
  const double cpu = recv->CpuSeconds();
  const double life = Seconds(recv->Elapsed());
  std::printf("waiting: Level 1 timeout after %.2f s of silence\n", waited);
  std::printf("  receiver CPU %.4f s over %.2f s = %.3f%% of one core (goal < 1%%)\n", cpu, life,
              100 * cpu / life);
  return 0;
}
