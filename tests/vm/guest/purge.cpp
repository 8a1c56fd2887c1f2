// An output flush on a real transmit queue. The far end reads slowly, so the
// driver's queue is full and the write thread holds the rest of a large
// block when the flush comes. What reaches the far end must be a prefix
// of the block, then the marker sent after the flush: a byte of the dropped block written after the
// purge would show as a gap.
#include <sys/ioctl.h>
#include <termios.h>

#include <cstdio>
#include <vector>

#include "tests/vm/guest/guest_port.h"

namespace vmguest {
namespace {

// The host regenerates the same bytes from the seed; none is 0xFF, the
// marker's byte.
std::vector<uint8_t> Pattern(uint32_t Seed, uint32_t Size) {
  std::vector<uint8_t> Out(Size);
  uint32_t X = Seed ? Seed : 1;
  for (uint8_t& B : Out) {
    X ^= X << 13;
    X ^= X >> 17;
    X ^= X << 5;
    B = uint8_t((X >> 24) % 255);
  }
  return Out;
}

bool TransmitterEmpty(int Fd) {
  int Lsr = 0;
  return ::ioctl(Fd, TIOCSERGETLSR, &Lsr) == 0 && (Lsr & TIOCSER_TEMT) != 0;
}

constexpr uint32_t kMarkerSize = 64;
constexpr uint32_t kFullQueue = 1024;

// One round: the block under way, the flush, the marker.
void PurgeRound(TGuestPort& P, TTally& T, uint32_t Seed, uint32_t Size) {
  const std::vector<uint8_t> Block = Pattern(Seed, Size);
  if (!T.Check(P.D.PutBlock(Block.data(), Size) == 0, "queue " + std::to_string(Size) + " bytes"))
    return;
  const bool Full = WaitFor([&] { return P.D.DeviceOutputQueued() >= kFullQueue; }, 30s);
  const uint32_t Queued = P.D.DeviceOutputQueued();
  if (!T.Check(Full, "driver queue filled: " + std::to_string(Queued) + " bytes")) return;
  P.D.FlushOutBuffer();
  const uint32_t After = P.D.DeviceOutputQueued();
  std::printf("note: flushed with %u bytes in the driver's queue, %u left after\n", Queued, After);
  const std::vector<uint8_t> Marker(kMarkerSize, 0xFF);
  T.Check(P.D.PutBlock(Marker.data(), kMarkerSize) == 0, "queue the marker");
  T.Check(P.D.WaitOutputDrained(60s), "marker sent");
  // Closing the port purges even the UART's own FIFO, which the queue count
  // leaves out, and the driver's drain gives up after a few character times:
  // the marker must be off the transmitter before.
  T.Check(WaitFor([&] { return TransmitterEmpty(P.D.ComHandleNow()); }, 60s), "transmitter empty");
}

}  // namespace

// The race it looks for is narrow: a few rounds, each with its own block.
int RunPurge(const std::string& Dev, uint32_t Seed, uint32_t Size, uint32_t Rounds) {
  TTally T;
  TGuestPort P;
  if (!T.Check(P.Open(Dev, 115200, 4096, Size + 4096) == 0, "open " + Dev)) return 1;
  for (uint32_t Round = 0; Round < Rounds; ++Round) PurgeRound(P, T, Seed + Round, Size);
  T.Check(P.Owner.Worst == 0, "no thread failed");
  return T.ExitCode();
}

}  // namespace vmguest
