// The promises both device layers keep, on the termios layer: the line is a
// pseudo-terminal whose master plays the far end.
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "serial/posix/status_change.h"
#include "tests/serial/port_fixture.h"

namespace promises {

using TLayer = TRivuPosixDispatcher;
inline constexpr bool kWin32 = false;
const std::string kMissingPath = "/dev/zedazi-no-such-port";

template <class TD = TLayer>
class TLine {
 public:
  bool Ready() const { return true; }
  TD& D() { return *P_.D; }
  std::string Path() const { return P_.Pty.SlavePath(); }
  // Written in the background until all is sent or the line goes.
  void FarEndSends(std::vector<uint8_t> Data) {
    Sender_ = std::jthread([this, Data = std::move(Data)](std::stop_token Stop) {
      for (size_t At = 0; At < Data.size() && !Stop.stop_requested();) {
        const ssize_t N = write(P_.Pty.MasterFd(), Data.data() + At, Data.size() - At);
        if (N > 0) {
          At += size_t(N);
        } else if (N < 0 && errno != EAGAIN && errno != EINTR) {
          return;
        } else {
          pollfd P{P_.Pty.MasterFd(), POLLOUT, 0};
          poll(&P, 1, 100);
        }
      }
    });
  }
  int64_t DriverHolds() {
    int N = 0;
    return ioctl(P_.Pty.SlaveFd(), FIONREAD, &N) == 0 ? N : -1;
  }
  bool Carries(const std::string& Text) {
    P_.Receive(Bytes(Text));
    return P_.Get(uint32_t(Text.size())) == Bytes(Text);
  }

 private:
  TOpenPort<TD> P_;
  std::jthread Sender_;  // ends before the port closes
};

// A pseudo-terminal has no modem lines or counters: the probe stands in for
// the lines, and its reports go the status thread's way, through the
// counters' reading and the layer's report of it.
class TProbe : public TLayer {
 public:
  using TLayer::TLayer;
  ~TProbe() override { Shutdown(); }
  uint8_t GetComModemLines() override { return Lines; }
  void ReportMoved(uint8_t Moved, uint8_t Old, uint8_t New) {
    posixdev::TCounters Counts;
    if (Moved & 0x10) ++Counts.Cts;
    if (Moved & 0x20) ++Counts.Dsr;
    if (Moved & 0x40) ++Counts.Rng;
    if (Moved & 0x80) ++Counts.Dcd;
    Lines = New;
    ASSERT_TRUE(ReportStatusChange(StatusChange(Old, New, {}, Counts)));
  }
  void ReportErrors(uint32_t Bits) {
    posixdev::TCounters Counts;
    if (Bits & leOverflow) ++Counts.BufOverrun;
    if (Bits & leOverrun) ++Counts.Overrun;
    if (Bits & leParity) ++Counts.Parity;
    if (Bits & leFraming) ++Counts.Frame;
    if (Bits & leBreak) ++Counts.Brk;
    ASSERT_TRUE(ReportStatusChange(StatusChange(Lines, Lines, {}, Counts)));
  }
  std::atomic<uint8_t> Lines{0};
};

}  // namespace promises

#include "tests/serial/device_promises.inc"
