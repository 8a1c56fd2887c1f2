// Peak memory of the receiver: a 1 MiB download, and a box announcing 4 GiB
// that sends 1 KiB. The pauses are the program's own, so the first takes a
// couple of minutes.
#include "bench/recv_bench_util.h"
#include "tools/boxsim/fault.h"

using namespace recv_bench;

namespace {

int Measure(const char* what, boxsim::BoxOptions options) {
  options.baud = 0;  // memory does not depend on the pace
  TScratchDir dir;
  boxsim::BoxSimulator box(options);
  auto recv = StartRecv(box, dir.Path());
  const int code = recv->Wait();
  if (code != 0) {
    std::fprintf(stderr, "%s: download failed (%d): %s\n", what, code, recv->Stderr().c_str());
    return 1;
  }
  const auto size = fs::file_size(dir.Path() / "out.tcn");
  std::printf("  %-32s file %9ju bytes, peak RSS %6.1f MiB (goal < 30 MiB), %.1f s\n", what,
              static_cast<uintmax_t>(size), recv->MaxRssKiB() / 1024.0, Seconds(recv->Elapsed()));
  return 0;
}

}  // namespace

int main() {
  std::printf("memory: peak RSS of zedazi-recv\n");
  boxsim::BoxOptions huge;
  huge.content[ContentType::ctChannels] = Content(1024);
  huge.faults.push_back(*boxsim::Fault::Parse("huge-total"));
  boxsim::BoxOptions mib;
  mib.content[ContentType::ctChannels] = Content(1024 * 1024);
  return Measure("4 GiB announced, 1 KiB sent", huge) | Measure("1 MiB download", mib);
}
