// How close a whole download comes to what the protocol itself needs: 256 KiB
// in the largest packets at 115200 baud, timed against the fixed pauses plus
// the wire time of every byte on the critical path; and the receiver's CPU.
#include <algorithm>

#include "bench/recv_bench_util.h"
#include "download/up_thread.h"

using namespace recv_bench;

namespace {

constexpr double kBaud = 115200;
double Wire(double bytes) {
  return bytes * 10 / kBaud;
}  // 8N1: 10 bits a byte
double Ms(std::chrono::milliseconds ms) {
  return ms.count() / 1000.0;
}

}  // namespace

int main() {
  constexpr std::size_t kContent = 256 * 1024;
  boxsim::BoxOptions options;
  options.baud = static_cast<uint32_t>(kBaud);
  options.content[ContentType::ctChannels] = Content(kContent);
  const TTaskTimings t;  // the program's own pauses

  TScratchDir dir;
  boxsim::BoxSimulator box(options);
  auto recv = StartRecv(box, dir.Path());
  const int code = recv->Wait();
  const auto end = Clock::now();
  if (code != 0) {
    std::fprintf(stderr, "download failed (%d): %s\n", code, recv->Stderr().c_str());
    return 1;
  }

  // The download starts with the greeting the receiver answered; the event is
  // recorded once its three bytes are on the wire.
  const auto events = box.Exchange();
  Clock::time_point greeting{};
  for (const auto& e : events) {
    if (e.kind == boxsim::EventKind::kGreeting) greeting = e.at;
    if (e.kind == boxsim::EventKind::kRequest) break;
  }
  const double wall = Seconds(end - greeting) + Wire(3);

  // The critical path: greeting, the request and its reply, the pause and the
  // request header and its reply, the pause covering the response header,
  // then for each packet its length field, the pause (or the packet's wire
  // time if longer), the pause before the answer and the answer; the end.
  const double reply = Ms(options.replyDelay);
  double floor = Wire(3) + Ms(t.AfterGreeting) + Wire(4) + reply + Wire(4) +
                 Ms(t.BeforeRequestHeader) + Wire(64) + reply + Wire(4) +
                 std::max(Ms(t.BeforeResponseHeader), Wire(64));
  std::size_t packets = 0;
  for (std::size_t left = kContent; left > 0; ++packets) {
    const std::size_t payload = std::min<std::size_t>(left, options.payloadSize);
    floor +=
        Wire(4) + std::max(Ms(t.BeforePacket), Wire(payload + 4)) + Ms(t.BeforePacketOk) + Wire(4);
    left -= payload;
  }
  floor += Wire(8);

  const double cpu = recv->CpuSeconds();
  const double life = Seconds(recv->Elapsed());
  std::printf("protocol: %zu KiB in %zu packets of up to %u payload bytes at %.0f baud\n",
              kContent / 1024, packets, options.payloadSize, kBaud);
  std::printf("  wall %.3f s, protocol floor %.3f s: ratio %.4f (goal <= 1.02)\n", wall, floor,
              wall / floor);
  std::printf("  receiver CPU %.3f s over %.3f s = %.3f%% (goal < 2%%)\n", cpu, life,
              100 * cpu / life);
  return 0;
}
