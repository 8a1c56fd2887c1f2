// What a download costs the receiving process in CPU, with the bytes
// delivered as a USB serial adapter does (64 at a time at 115200 baud), next
// to a plain blocking read() receiver doing the same exchange on the same
// kind of line. Runs are paired and repeated; the worst run is what counts.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "bench/recv_bench_util.h"

using namespace recv_bench;

namespace {

struct TRun {
  double cpu = 0, wall = 0;
};

boxsim::BoxOptions Options(std::size_t size) {
  boxsim::BoxOptions options;  // the simulator's defaults: paced, 64-byte chunks, instant replies
  options.content[ContentType::ctChannels] = Content(size);
  return options;
}

TRun Measure(std::unique_ptr<e2e::TChild> child) {
  const auto lines = child->RestOfLines();
  const int code = child->Wait();
  if (code != 0) {
    std::fprintf(stderr, "receiver failed (%d): %s\n", code, child->Stderr().c_str());
    for (const auto& line : lines) std::fprintf(stderr, "  %s\n", line.c_str());
    std::exit(1);
  }
  return {child->CpuSeconds(), Seconds(child->Elapsed())};
}

TRun Tool(std::size_t size) {
  TScratchDir dir;
  boxsim::BoxSimulator box(Options(size));
  return Measure(StartRecv(box, dir.Path()));
}

TRun Plain(std::size_t size, const std::string& program, std::vector<std::string> args = {}) {
  boxsim::BoxSimulator box(Options(size));
  args.push_back(box.SlavePath());
  return Measure(std::make_unique<e2e::TChild>(program, args));
}

bool HavePython() {
  return std::system("python3 -c pass >/dev/null 2>&1") == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t kib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  const std::size_t size = kib * 1024;
  const boxsim::BoxOptions shape = Options(size);
  const std::size_t packets = (size + shape.payloadSize - 1) / shape.payloadSize;
  // What the box sends: greeting, two replies, the response header, each
  // packet with its length field, the end marker and the final word.
  const std::size_t wire = 3 + 8 + 64 + size + packets * 8 + 8;
  const std::size_t chunks = (wire + shape.chunkSize - 1) / shape.chunkSize;

  std::printf("recv cpu: %zu KiB in %zu packets, %u-byte chunks at %u baud, %d paired runs\n", kib,
              packets, shape.chunkSize, shape.baud, runs);
  const bool python = HavePython();
  std::vector<TRun> tool, plain, py;
  for (int i = 0; i < runs; ++i) {
    tool.push_back(Tool(size));
    plain.push_back(Plain(size, PLAIN_PROGRAM));
    if (python) py.push_back(Plain(size, "/usr/bin/env", {"python3", PLAIN_PYTHON}));
    std::printf("  run %d: zedazi-recv %.3f s CPU over %.1f s; plain read() %.3f s", i + 1,
                tool.back().cpu, tool.back().wall, plain.back().cpu);
    if (python) std::printf("; Python %.3f s", py.back().cpu);
    std::printf("\n");
  }
  const auto report = [&](const char* name, const std::vector<TRun>& v) {
    const TRun w = *std::max_element(v.begin(), v.end(),
                                     [](const TRun& a, const TRun& b) { return a.cpu < b.cpu; });
    std::printf("  worst %-12s %.3f s per download, %5.1f us per chunk, %.2f%% of a core\n", name,
                w.cpu, 1e6 * w.cpu / double(chunks), 100 * w.cpu / w.wall);
  };
  // Paired: each run of the tool against the floor measured right after it.
  const auto ratio = [&](const std::vector<TRun>& floor) {
    double worst = 0;
    for (int i = 0; i < runs; ++i) worst = std::max(worst, tool[i].cpu / floor[i].cpu);
    return worst;
  };
  report("zedazi-recv:", tool);
  report("plain read:", plain);
  if (python) report("Python:", py);
  std::printf("  goal: zedazi-recv at most 1%% of a core\n");
  std::printf("  worst paired ratio zedazi-recv / plain read(): %.2f\n", ratio(plain));
  if (python)
    std::printf("  worst paired ratio zedazi-recv / Python: %.2f (goal <= 2)\n", ratio(py));
  return 0;
}
