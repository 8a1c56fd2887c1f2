// Line settings as the driver holds them, over real pseudo-terminals.
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <thread>

#include "serial/posix/port_errors.h"
#include "serial/posix/posix_device.h"
#include "tests/serial/port_fixture.h"
#include "tests/support/driver_rate.h"

namespace {

uint32_t ReadBaud(TRivuPosixDispatcher& D) {
  uint32_t Baud;
  uint16_t Parity, DataBits, StopBits;
  D.GetLine(Baud, Parity, DataBits, StopBits);
  return Baud;
}

}  // namespace

TEST(LineRates, RatesWithoutASpeedCodeGoByNumber) {
  TOpenPort P;
  for (const uint32_t Rate : {14400u, 28800u, 56000u, 128000u, 256000u}) {
    SCOPED_TRACE(Rate);
    ASSERT_EQ(P.D->SetLine(Rate, 0, 8, 1), 0);
    EXPECT_EQ(DriverRate(P.Pty.SlaveFd()), Rate);
    EXPECT_EQ(ReadBaud(*P.D), Rate);
    // Other settings change without touching the rate.
    ASSERT_EQ(P.D->SetLine(0, 0, 8, 2), 0);
    EXPECT_EQ(DriverRate(P.Pty.SlaveFd()), Rate);
    EXPECT_EQ(ReadBaud(*P.D), Rate);
  }
  // And back to a rate with a code.
  ASSERT_EQ(P.D->SetLine(115200, 0, 8, 1), 0);
  termios T{};
  ASSERT_EQ(tcgetattr(P.Pty.SlaveFd(), &T), 0);
  EXPECT_EQ(cfgetospeed(&T), speed_t(B115200));
  EXPECT_EQ(DriverRate(P.Pty.SlaveFd()), 115200u);
  EXPECT_EQ(ReadBaud(*P.D), 115200u);
}

// The pseudo-terminal driver keeps eight data bits without parity whatever
// it is asked, as some USB adapters keep theirs; on the far end (which the
// tool never opens as its device) that refusal is not excused.
TEST(LineReadBack, WhatTheDriverDidNotTakeIsUndoneAndRefused) {
  TPtyPair Pty;
  const int Fd = Pty.MasterFd();
  termios Before{};
  ASSERT_EQ(tcgetattr(Fd, &Before), 0);
  cfsetospeed(&Before, B38400);
  cfsetispeed(&Before, B38400);
  ASSERT_EQ(tcsetattr(Fd, TCSANOW, &Before), 0);
  TDcb Dcb;
  Dcb.BaudRate = 57600;
  Dcb.StopBits = 2;
  for (const uint8_t Size : {5, 6, 7}) {
    SCOPED_TRACE(int(Size));
    Dcb.ByteSize = Size;
    int32_t Error = 0;
    EXPECT_FALSE(posixdev::SetState(Fd, Dcb, Error));
    EXPECT_EQ(Error, oeInvalidParameter);
    termios After{};
    ASSERT_EQ(tcgetattr(Fd, &After), 0);
    // The rate and the stop bits it did take are back as they were.
    EXPECT_EQ(cfgetospeed(&After), speed_t(B38400));
    EXPECT_EQ(DriverRate(Fd), 38400u);
    EXPECT_EQ(After.c_cflag & CSTOPB, 0u);
  }
  Dcb.ByteSize = 8;
  Dcb.Parity = 2;
  int32_t Error = 0;
  EXPECT_FALSE(posixdev::SetState(Fd, Dcb, Error));
  EXPECT_EQ(Error, oeInvalidParameter);
  Dcb.Parity = 0;
  Dcb.BaudRate = 56000;  // by number, and back by number on a refusal
  ASSERT_TRUE(posixdev::SetState(Fd, Dcb, Error));
  EXPECT_EQ(DriverRate(Fd), 56000u);
  Dcb.BaudRate = 9600;
  Dcb.ByteSize = 7;
  EXPECT_FALSE(posixdev::SetState(Fd, Dcb, Error));
  EXPECT_EQ(DriverRate(Fd), 56000u);
}

TEST(LineReadBack, ComparesRateFrameAndFlow) {
  const tcflag_t N81 = CS8 | CREAD | CLOCAL;
  const struct {
    const char* What;
    tcflag_t Asked;
    uint32_t AskedRate;
    tcflag_t Got;
    uint32_t GotRate;
    bool Unframed, Held;
    tcflag_t AskedIn = 0, GotIn = 0;
    uint8_t GotXOn = 17, GotXOff = 19;
  } Cases[] = {
      {"all taken", N81, 115200, N81, 115200, false, true},
      {"old rate kept", N81, 4000000, N81, 115200, false, false},
      {"rate from the divisor, 0.1% off", N81, 56000, N81, 55944, false, true},
      {"rate 3% off", N81, 57600, N81, 55870, false, false},
      {"rate unknown", N81, 9600, N81, 0, false, false},
      {"old data size kept", CS5 | CREAD, 9600, CS8 | CREAD, 9600, false, false},
      {"parity dropped", N81 | PARENB, 9600, N81, 9600, false, false},
      {"odd became even", N81 | PARENB | PARODD, 9600, N81 | PARENB, 9600, false, false},
      {"mark became odd", N81 | PARENB | PARODD | CMSPAR, 9600, N81 | PARENB | PARODD, 9600, false,
       false},
      {"two stop bits dropped", N81 | CSTOPB, 9600, N81, 9600, false, false},
      {"other switches differ", N81, 9600, CS8 | HUPCL, 9600, false, true, INPCK, IXANY},
      {"hardware handshake dropped", N81 | CRTSCTS, 9600, N81, 9600, false, false},
      {"no line: hardware handshake still counts", CS8 | CRTSCTS, 9600, CS8, 9600, true, false},
      {"XON/XOFF taken", N81, 9600, N81, 9600, false, true, IXON | IXOFF, IXON | IXOFF},
      {"output XON/XOFF dropped", N81, 9600, N81, 9600, false, false, IXON | IXOFF, IXOFF},
      {"input XON/XOFF dropped", N81, 9600, N81, 9600, false, false, IXOFF, 0},
      {"XON character kept the old one", N81, 9600, N81, 9600, false, false, IXON, IXON, 18},
      {"XOFF character kept the old one", N81, 9600, N81, 9600, false, false, IXON, IXON, 17, 0},
      {"no line: eight bits, no parity", CS7 | PARENB | PARODD, 9600, CS8 | PARODD, 9600, true,
       true},
      {"no line: parity kind still counts", CS7 | PARENB | PARODD, 9600, CS8, 9600, true, false},
      {"no line: stop bits still count", CS8 | CSTOPB, 9600, CS8, 9600, true, false},
      {"no line: rate still counts", CS8, 9600, CS8, 19200, true, false},
  };
  for (const auto& C : Cases) {
    termios Asked{}, Got{};
    Asked.c_cflag = C.Asked;
    Got.c_cflag = C.Got;
    Asked.c_iflag = C.AskedIn;
    Got.c_iflag = C.GotIn;
    Asked.c_cc[VSTART] = 17;
    Asked.c_cc[VSTOP] = 19;
    Got.c_cc[VSTART] = C.GotXOn;
    Got.c_cc[VSTOP] = C.GotXOff;
    EXPECT_EQ(posixdev::SettingsHeld(Asked, C.AskedRate, Got, C.GotRate, C.Unframed), C.Held)
        << C.What;
  }
}

namespace {
termios DeviceSettings(const TPtyPair& Pty) {
  termios T{};
  EXPECT_EQ(tcgetattr(Pty.SlaveFd(), &T), 0);
  return T;
}
}  // namespace

// DSR output flow, a DTR handshake and DSR sensitivity have no termios
// switch: asking for them fails and leaves everything as it was.
TEST(FlowRefusal, WhatTermiosCannotDoFailsAndChangesNothing) {
  TOpenPort P;
  for (const bool RtsHandshake : {false, true}) {
    SCOPED_TRACE(RtsHandshake);
    ASSERT_EQ(P.D->HWFlowOptions(14745, 1638, RtsHandshake ? 0x02 : 0), 0);
    const tcflag_t Before = DeviceSettings(P.Pty).c_cflag;
    for (const uint32_t Options : {0x01u, 0x04u, 0x01u | 0x08u, 0x02u | 0x04u}) {
      SCOPED_TRACE(Options);
      EXPECT_EQ(P.D->HWFlowOptions(14745, 1638, Options), -oeInvalidParameter);
      EXPECT_EQ(DeviceSettings(P.Pty).c_cflag, Before);
      EXPECT_EQ(P.D->HWFlowState(), RtsHandshake ? 2 : 1);
      EXPECT_EQ(P.D->SetDtr(true), 0);  // DTR is still the caller's
      EXPECT_EQ(P.D->SetRts(true), RtsHandshake ? 1 : 0);
    }
  }
  TDcb Record;
  ASSERT_EQ(P.D->GetComState(Record), 0);
  Record.fDsrSensitivity = true;
  EXPECT_EQ(P.D->SetComState(Record), -oeInvalidParameter);
}

TEST(InputLimits, FollowTheRecordAndHoldOffBetweenTheTwoCounts) {
  auto Limits = [](bool InX, bool Cts, uint8_t Rts, uint16_t XonLim, uint16_t XoffLim) {
    TDcb D;
    D.fInX = InX;
    D.fOutX = true;  // output flow alone sets no limits
    D.fOutxCtsFlow = Cts;
    D.fRtsControl = Rts;
    D.XonLim = XonLim;
    D.XoffLim = XoffLim;
    return InputLimits(D, 16384);
  };
  const struct {
    const char* What;
    TInputLimits Got;
    int64_t HoldAbove, ResumeBelow;
  } Records[] = {
      {"no input flow", Limits(false, false, dcRtsEnable, 4096, 4096), -1, 0},
      {"XON/XOFF", Limits(true, false, dcRtsEnable, 4096, 4096), 12288, 4096},
      {"RTS handshake", Limits(false, false, dcRtsHandshake, 1638, 1639), 14745, 1638},
      {"CTS, which the driver ties to RTS", Limits(false, true, dcRtsDisable, 0, 0), 16384, 0},
      {"limit beyond the buffer", Limits(true, false, dcRtsEnable, 0, 20000), 0, 0},
  };
  for (const auto& R : Records) {
    EXPECT_EQ(R.Got.HoldAbove, R.HoldAbove) << R.What;
    EXPECT_EQ(R.Got.ResumeBelow, R.ResumeBelow) << R.What;
  }
  const TInputLimits L{12288, 4096};
  const struct {
    TInputLimits Limits;
    bool HeldOff;
    int64_t Unread;
    bool Hold;
  } Steps[] = {
      {L, false, 12288, false},      {L, false, 12289, true},  {L, true, 12289, true},
      {L, true, 4096, true},         {L, true, 4095, false},   {L, false, 4095, false},
      {{0, 0}, false, 1, true},      {{0, 0}, true, 0, false},  // nothing unread: read
      {{-1, 0}, true, 90000, false},
  };
  for (const auto& S : Steps) {
    EXPECT_EQ(HoldInputOff(S.Limits, S.HeldOff, S.Unread), S.Hold)
        << S.Limits.HoldAbove << " " << S.HeldOff << " " << S.Unread;
  }
}

namespace {
int DriverHolds(const TPtyPair& Pty) {
  int N = 0;
  return ioctl(Pty.SlaveFd(), FIONREAD, &N) == 0 ? N : -1;
}
}  // namespace

// A pseudo-terminal has no throttle of its own to send XOFF with, but the
// far end's writes stall once the driver is full, as a held-off line would.
TEST(InputLimits, ReadingStopsAboveTheLimitAndGoesOnBelowTheResumeCount) {
  TOpenPort P;  // a 16384-byte input buffer
  // XON/XOFF on input: full at 8192 unread bytes, resuming below 2048.
  ASSERT_EQ(P.D->SWFlowEnable(8192, 2048, 2), 0);
  const auto Data = Pattern(60000, 5);
  std::thread Box([&] { P.Pty.Write(Data); });
  int64_t Most = 0;
  auto Unread = [&] {
    const int64_t N = P.D->UnreadInput();
    Most = std::max(Most, N);
    return N;
  };
  // The component stops taking bytes and the driver fills up behind it.
  EXPECT_TRUE(WaitUntil([&] { return Unread() > 8192 && DriverHolds(P.Pty) >= 4000; }));
  // And takes nothing more while the task reads nothing (looked at for a
  // while: nothing happening is the one thing no wait can end on). One read
  // at most goes beyond the limit.
  EXPECT_FALSE(WaitUntil([&] { return Unread() > 8192 + 4096; }, std::chrono::milliseconds(1500)));
  EXPECT_GE(DriverHolds(P.Pty), 4000);
  // As the task reads, reading goes on, and every byte comes through.
  std::vector<uint8_t> Got;
  while (Got.size() < Data.size()) {
    ASSERT_TRUE(WaitUntil([&] { return Unread() > 0 && P.D->InBuffUsed() > 0; })) << Got.size();
    std::vector<uint8_t> Part(size_t(P.D->InBuffUsed()));
    ASSERT_EQ(P.D->GetBlock(Part.data(), uint32_t(Part.size())), int32_t(Part.size()));
    Got.insert(Got.end(), Part.begin(), Part.end());
  }
  Box.join();
  EXPECT_TRUE(Got == Data);
  EXPECT_LE(Most, 8192 + 4096);
}
