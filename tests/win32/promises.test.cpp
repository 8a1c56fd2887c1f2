// The promises both device layers keep, on the Win32 layer: the line is one
// whose far end sends every byte back (ZEDAZI_TEST_ECHO_COM names it, e.g.
// COM8), so what the far end sends is what this end sent; skipped without it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "serial/win32/win32_dispatcher.h"
#include "tests/support/wait_until.h"

namespace promises {

using TLayer = TRivuWin32Dispatcher;
inline constexpr bool kWin32 = true;
const std::string kMissingPath = "\\\\.\\COM99";

template <class TD = TLayer>
class TLine {
 public:
  TLine() {
    const char* Com = std::getenv("ZEDAZI_TEST_ECHO_COM");
    if (!Com || !*Com) return;
    Path_ = std::string("\\\\.\\") + Com;
    // A test before may have hung the line up; the far end takes its link
    // again a moment later.
    Ready_ = WaitUntil([&] { return D_.InitPort(Path_, 115200, 0, 8, 1, 16384, 16384, 1) == 0; });
    EXPECT_TRUE(Ready_) << Path_;
  }
  bool Ready() const { return Ready_; }
  TD& D() { return D_; }
  std::string Path() const { return Path_; }
  // Sent out in the background as the output buffer makes room; the echo
  // brings it back.
  void FarEndSends(std::vector<uint8_t> Data) {
    Sender_ = std::jthread([this, Data = std::move(Data)](std::stop_token Stop) {
      for (size_t At = 0; At < Data.size() && !Stop.stop_requested();) {
        const uint32_t N = uint32_t(std::min<size_t>(2048, Data.size() - At));
        if (D_.OutBuffFree() < int32_t(N)) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
          continue;
        }
        if (D_.PutBlock(Data.data() + At, N) != 0) return;
        At += N;
      }
    });
  }
  int64_t DriverHolds() { return D_.DeviceInputQueued().value_or(-1); }
  bool Carries(const std::string& Text) {
    std::string Got(Text.size(), '\0');
    return D_.PutString(Text) == 0 &&
           WaitUntil([&] { return D_.InBuffUsed() >= int32_t(Got.size()); }) &&
           D_.GetBlock(Got.data(), uint32_t(Got.size())) == int32_t(Got.size()) && Got == Text;
  }

 private:
  TD D_{nullptr};
  std::string Path_;
  bool Ready_ = false;
  std::jthread Sender_;  // ends before the port closes
};

// A pseudo-terminal under the compatibility layer has no modem lines and
// reports no line errors: the probe stands in for the lines and the errors
// ClearCommError gives, and its reports go the status thread's way, as the
// events of a WaitCommEvent.
class TProbe : public TLayer {
 public:
  using TLayer::TLayer;
  ~TProbe() override { Shutdown(); }
  uint8_t GetComModemLines() override { return Lines; }
  void ReportMoved(uint8_t Moved, uint8_t /*Old: the layer keeps it*/, uint8_t New) {
    DWORD Events = 0;
    if (Moved & 0x10) Events |= EV_CTS;
    if (Moved & 0x20) Events |= EV_DSR;
    if (Moved & 0x40) Events |= EV_RING;
    if (Moved & 0x80) Events |= EV_RLSD;
    Lines = New;
    ASSERT_TRUE(ReportDeviceEvents(Events));
  }
  // The driver's error bits (CE_RXOVER .. CE_BREAK) are the line error bits.
  void ReportErrors(uint32_t Bits) {
    static_assert(CE_RXOVER == leOverflow && CE_FRAME == leFraming && CE_BREAK == leBreak);
    Errors = Bits;
    ASSERT_TRUE(ReportDeviceEvents((Bits & leBreak) ? EV_BREAK | EV_ERR : EV_ERR));
  }
  std::atomic<uint8_t> Lines{0};
  std::atomic<DWORD> Errors{0};

 protected:
  bool ClearDriverErrors(HANDLE Device, DWORD& Got, COMSTAT& Stat) override {
    if (!TLayer::ClearDriverErrors(Device, Got, Stat)) return false;
    Got |= Errors.exchange(0);
    return true;
  }
};

}  // namespace promises

#include "tests/serial/device_promises.inc"
