// The Win32 device layer on a live line whose far end sends every byte back
// (ZEDAZI_TEST_ECHO_COM names it, e.g. COM8); skipped without one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "serial/errors/port_error_numbers.h"
#include "serial/win32/win32_dispatcher.h"

namespace {
using namespace std::chrono;

class TCountingPlatform : public TPlainPlatform {
 public:
  void ShowBackgroundError(const std::string&) override { ++Shown; }
  std::atomic<int> Shown{0};
};

class EchoLine : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* Com = std::getenv("ZEDAZI_TEST_ECHO_COM");
    if (!Com || !*Com) GTEST_SKIP() << "no echo line (ZEDAZI_TEST_ECHO_COM)";
    Path = std::string("\\\\.\\") + Com;
  }
  int32_t Open(TRivuWin32Dispatcher& D) {
    return D.InitPort(Path, 115200, 0, 8, 1, 16384, 16384, 1);
  }
  // Reads Count bytes, waiting up to 20 s for them.
  static std::vector<uint8_t> Get(TRivuWin32Dispatcher& D, size_t Count) {
    std::vector<uint8_t> Got(Count);
    size_t Have = 0;
    const auto Deadline = steady_clock::now() + seconds(20);
    while (Have < Count && steady_clock::now() < Deadline) {
      if (D.WaitForData(1, milliseconds(200)) != TDataWait::Ready) continue;
      const uint32_t N =
          uint32_t(std::min<size_t>({Count - Have, 4096, size_t(std::max(D.InBuffUsed(), 0))}));
      if (N == 0) continue;
      if (D.GetBlock(Got.data() + Have, N) < 0) break;
      Have += N;
    }
    Got.resize(Have);
    return Got;
  }
  std::string Path;
};

std::vector<uint8_t> Random(size_t N) {
  std::mt19937 Rng(7);
  std::vector<uint8_t> V(N);
  for (auto& B : V) B = uint8_t(Rng());
  return V;
}

}  // namespace

TEST_F(EchoLine, BytesComeBackWholeAndInOrder) {
  TRivuWin32Dispatcher D(nullptr);
  ASSERT_EQ(Open(D), 0);
  EXPECT_EQ(D.ThreadCountNow(), 4);
  // More than the output buffer in several blocks, so the ring wraps.
  const std::vector<uint8_t> Sent = Random(24000);
  std::thread Writer([&] {
    for (size_t At = 0; At < Sent.size();) {
      const uint32_t N = uint32_t(std::min<size_t>(3000, Sent.size() - At));
      if (D.OutBuffFree() < int32_t(N)) {
        std::this_thread::sleep_for(milliseconds(1));
        continue;
      }
      ASSERT_EQ(D.PutBlock(Sent.data() + At, N), 0);
      At += N;
    }
  });
  const std::vector<uint8_t> Got = Get(D, Sent.size());
  Writer.join();
  EXPECT_TRUE(Got == Sent) << Got.size() << " of " << Sent.size() << " bytes";
  D.DonePort();
  EXPECT_EQ(D.ThreadCountNow(), 0);
}

TEST_F(EchoLine, FlushesAndCloseWhileBytesFlowEndEverything) {
  TRivuWin32Dispatcher D(nullptr);
  ASSERT_EQ(Open(D), 0);
  const std::vector<uint8_t> Block = Random(16000);
  ASSERT_EQ(D.PutBlock(Block.data(), uint32_t(Block.size())), 0);
  const auto Start = steady_clock::now();
  D.FlushOutBuffer();
  EXPECT_EQ(D.OutBuffUsed(), 0);
  EXPECT_LT(steady_clock::now() - Start, seconds(5));
  // What came back so far goes with the input flush; later bytes arrive.
  std::this_thread::sleep_for(milliseconds(100));
  D.FlushInBuffer();
  EXPECT_EQ(D.InBuffUsed(), 0);
  ASSERT_EQ(D.PutString("after"), 0);
  const std::vector<uint8_t> Got = Get(D, 5);
  EXPECT_EQ(std::string(Got.begin(), Got.end()), "after");
  // Close with an echo still streaming in.
  ASSERT_EQ(D.PutBlock(Block.data(), uint32_t(Block.size())), 0);
  D.DonePort();
  EXPECT_EQ(D.ThreadCountNow(), 0);
  EXPECT_LT(D.ComHandleNow(), 0);
}

// A read that waits for bytes would hold the input flush until some came.
TEST_F(EchoLine, InputFlushOnAQuietLineReturnsAtOnce) {
  TRivuWin32Dispatcher D(nullptr);
  ASSERT_EQ(Open(D), 0);
  for (int Round = 0; Round < 5; ++Round) {
    // Each time after the read thread has had time to begin a read.
    std::this_thread::sleep_for(milliseconds(150));
    const auto Start = steady_clock::now();
    D.FlushInBuffer();
    EXPECT_LT(steady_clock::now() - Start, seconds(2)) << "round " << Round;
  }
  // Bytes after the flushes all arrive.
  ASSERT_EQ(D.PutString("still here"), 0);
  const std::vector<uint8_t> Got = Get(D, 10);
  EXPECT_EQ(std::string(Got.begin(), Got.end()), "still here");
  D.DonePort();
}

// Each line setting reaches the driver (read back through it) and the line
// still carries bytes after it. The far end, a pseudo-terminal, keeps eight
// bits without parity and has no modem lines to raise.
TEST_F(EchoLine, LineSettingsReachTheDriverAndBytesStillFlow) {
  TRivuWin32Dispatcher D(nullptr);
  ASSERT_EQ(Open(D), 0);
  auto Driver = [&] {
    TDcb R;
    EXPECT_EQ(D.GetComState(R), 0);
    return R;
  };
  auto Echoes = [&](const std::string& Text) {
    EXPECT_EQ(D.PutString(Text), 0);
    const std::vector<uint8_t> Got = Get(D, Text.size());
    return std::string(Got.begin(), Got.end()) == Text;
  };
  ASSERT_EQ(D.SetLine(9600, 0, 8, 2), 0);
  uint32_t Baud = 0;
  uint16_t Parity = 9, Bits = 0, Stop = 0;
  D.GetLine(Baud, Parity, Bits, Stop);
  EXPECT_EQ(Baud, 9600u);
  EXPECT_EQ(Driver().BaudRate, 9600u);
  EXPECT_EQ(Stop, 2);
  EXPECT_TRUE(Echoes("line"));

  // RTS/CTS handshake: RTS is the driver's then.
  ASSERT_EQ(D.HWFlowOptions(12000, 4000, 0x02 | 0x08), 0);
  EXPECT_EQ(D.HWFlowState(), 2);
  EXPECT_TRUE(Driver().fOutxCtsFlow);
  EXPECT_EQ(D.SetRts(true), 1);
  ASSERT_EQ(D.HWFlowOptions(12000, 4000, 0), 0);
  EXPECT_EQ(D.HWFlowState(), 1);
  EXPECT_FALSE(Driver().fOutxCtsFlow);
  EXPECT_EQ(D.SetDtr(false), 0);
  EXPECT_EQ(D.SetRts(true), 0);
  EXPECT_EQ(D.SetModem(true, false), 0);
  EXPECT_TRUE(Echoes("modem"));

  // XON/XOFF both ways, with characters of the caller's.
  ASSERT_EQ(D.SWFlowEnable(12000, 4000, 0x03), 0);
  EXPECT_EQ(D.SWFlowState(), 2);
  ASSERT_EQ(D.SWFlowChars(0x01, 0x02), 0);
  const TDcb Sw = Driver();
  EXPECT_TRUE(Sw.fOutX && Sw.fInX);
  EXPECT_EQ(Sw.XonChar, 0x01);
  EXPECT_EQ(Sw.XoffChar, 0x02);
  EXPECT_TRUE(Echoes("xonxoff"));
  ASSERT_EQ(D.SWFlowDisable(), 0);
  EXPECT_EQ(D.SWFlowState(), 1);
  EXPECT_FALSE(Driver().fOutX || Driver().fInX);

  // RS-485: RTS goes to the driver's toggle, and back to the caller. Wine's
  // serial driver has no toggle: refused, nothing changes.
  const int32_t Rs485 = D.SetRS485Mode(true);
  if (Rs485 != 0) {
    EXPECT_EQ(Rs485, -int32_t(ERROR_NOT_SUPPORTED));
  }
  EXPECT_EQ(Driver().fRtsControl == dcRtsToggle, Rs485 == 0);
  EXPECT_EQ(D.SetRts(true), Rs485 == 0 ? 1 : 0);
  D.SendBreak(1, false);
  EXPECT_TRUE(Echoes("rs485"));
  ASSERT_EQ(D.SetRS485Mode(false), 0);
  EXPECT_EQ(D.SetRts(true), 0);
  EXPECT_NE(Driver().fRtsControl, dcRtsToggle);
  D.DonePort();
}

namespace {

// A driver with RTS toggle, which the compatibility layer's has not: it
// keeps the toggle itself and hands the rest of each state to the real
// driver. Swallowing, it takes the toggle without a word and keeps none.
class TToggleDriver : public TRivuWin32Dispatcher {
 public:
  using TRivuWin32Dispatcher::TRivuWin32Dispatcher;
  ~TToggleDriver() override { Shutdown(); }
  std::atomic<bool> Swallow{false};
  std::atomic<bool> Toggling{false};
  std::atomic<int> LastRtsWritten{-1};

 protected:
  bool ReadDriverState(HANDLE Device, DCB& Out) override {
    if (!TRivuWin32Dispatcher::ReadDriverState(Device, Out)) return false;
    if (Toggling) Out.fRtsControl = RTS_CONTROL_TOGGLE;
    return true;
  }
  bool WriteDriverState(HANDLE Device, const DCB& In) override {
    LastRtsWritten = int(In.fRtsControl);
    DCB Real = In;
    const bool Toggle = In.fRtsControl == RTS_CONTROL_TOGGLE;
    if (Toggle) Real.fRtsControl = RTS_CONTROL_DISABLE;
    if (!TRivuWin32Dispatcher::WriteDriverState(Device, Real)) return false;
    if (!Swallow) Toggling = Toggle;
    return true;
  }
};

}  // namespace

// The driver keeps a mode past the close: the next program to open the port
// would find RTS toggling that it never asked for.
TEST_F(EchoLine, Rs485IsSwitchedOffAtTheCloseAndRefusedWhereNotHeld) {
  for (const bool Swallow : {false, true}) {
    SCOPED_TRACE(Swallow ? "driver swallows the toggle" : "driver toggles");
    TToggleDriver D(nullptr);
    D.Swallow = Swallow;
    ASSERT_EQ(Open(D), 0);
    // The port is this tool's while open, also to the ports dialog's look.
    EXPECT_EQ(windev::TrialOpen(Path), oeAccessDenied);
    // Where not held: refused, and the state before it written back.
    EXPECT_EQ(D.SetRS485Mode(true), Swallow ? -oeInvalidParameter : 0);
    EXPECT_EQ(D.Toggling.load(), !Swallow);
    EXPECT_EQ(D.SetRts(true), Swallow ? 0 : 1);  // 1: the driver's line
    D.DonePort();
    EXPECT_FALSE(D.Toggling.load());
    EXPECT_NE(D.LastRtsWritten.load(), RTS_CONTROL_TOGGLE);
    EXPECT_EQ(windev::TrialOpen(Path), 0);
  }
}

// Last: the line hangs up, and the echo end gives the link a fresh line.
TEST_F(EchoLine, VanishedDeviceStopsEveryThreadWithOneMessage) {
  TCountingPlatform Platform;
  TRivuWin32Dispatcher D(nullptr, &Platform);
  ASSERT_EQ(Open(D), 0);
  ASSERT_EQ(D.PutString("HANG-UP-NOW"), 0);
  const auto Deadline = steady_clock::now() + seconds(20);
  while (D.ThreadCountNow() > 0 && steady_clock::now() < Deadline) {
    std::this_thread::sleep_for(milliseconds(20));
  }
  EXPECT_EQ(D.ThreadCountNow(), 0);
  EXPECT_EQ(Platform.Shown.load(), 1);
}
