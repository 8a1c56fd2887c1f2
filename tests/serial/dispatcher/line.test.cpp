// Line settings on the device, modem status and line errors.
#include <termios.h>

#include <optional>

#include "serial/errors/error_codes.h"
#include "serial/posix/port_errors.h"
#include "serial/posix/posix_device.h"
#include "tests/serial/port_fixture.h"

namespace {

// Pseudo-terminals have no modem lines or error counters: this probe lets a
// test set the lines and the error bits the status thread would have found.
class TProbe : public TRivuPosixDispatcher {
 public:
  using TRivuPosixDispatcher::TRivuPosixDispatcher;
  ~TProbe() override { Shutdown(); }
  std::atomic<uint8_t> Lines{0};
  uint8_t GetComModemLines() override { return Lines; }
  void InjectEvents(uint32_t Events) { GetQueue().Push(std::make_unique<TStatusBuffer>(Events)); }
  void InjectErrors(uint32_t Bits) { AddDeviceErrors(Bits); }
  uint8_t StoredStatus() { return StoredModemStatus(); }
  bool Dtr() { return DtrLevel(); }
  bool Rts() { return RtsLevel(); }
};

speed_t DeviceSpeed(const TPtyPair& Pty);

termios DeviceSettings(const TPtyPair& Pty) {
  termios T{};
  EXPECT_EQ(tcgetattr(Pty.SlaveFd(), &T), 0);
  return T;
}

speed_t DeviceSpeed(const TPtyPair& Pty) {
  const termios T = DeviceSettings(Pty);
  return cfgetospeed(&T);
}

}  // namespace

TEST(LineSettings, OpenSetsRawLineAt115200N81) {
  TOpenPort<TProbe> P;
  const termios T = DeviceSettings(P.Pty);
  EXPECT_EQ(cfgetospeed(&T), speed_t(B115200));
  EXPECT_EQ(T.c_cflag & CSIZE, tcflag_t(CS8));
  EXPECT_EQ(T.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(T.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(T.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(T.c_cc[VMIN], 0);
  EXPECT_TRUE(P.D->Dtr());
  EXPECT_FALSE(P.D->Rts());
}

// A pseudo-terminal keeps rate, stop bits and the parity kind but forces
// eight data bits and no parity generation; the translation of those is
// checked on its own below.
TEST(LineSettings, SetLineReachesTheDeviceAndReadsBack) {
  TOpenPort<TProbe> P;
  const struct {
    uint32_t Baud;
    uint16_t Parity, DataBits, StopBits;
    speed_t Speed;
    tcflag_t ParityKind;
    bool TwoStop;
    uint16_t ReadStop;
  } Cases[] = {
      {9600, 0, 8, 1, B9600, 0, false, 1},
      {19200, 1, 7, 2, B19200, PARODD, true, 2},
      {38400, 2, 8, 0, B38400, 0, false, 1},               // below 1: one
      {57600, 3, 6, 7, B57600, PARODD | CMSPAR, true, 2},  // above 2: two
      {230400, 4, 5, 1, B230400, CMSPAR, true, 2},         // 5 bits: one and a half
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Baud);
    ASSERT_EQ(P.D->SetLine(C.Baud, C.Parity, C.DataBits, C.StopBits), 0);
    const termios T = DeviceSettings(P.Pty);
    EXPECT_EQ(cfgetospeed(&T), C.Speed);
    EXPECT_EQ(T.c_cflag & (PARODD | CMSPAR), C.ParityKind);
    EXPECT_EQ((T.c_cflag & CSTOPB) != 0, C.TwoStop);
    uint32_t Baud;
    uint16_t Parity, DataBits, StopBits;
    P.D->GetLine(Baud, Parity, DataBits, StopBits);
    EXPECT_EQ(Baud, C.Baud);
    EXPECT_EQ(StopBits, C.ReadStop);
  }
  // The "keep" values change nothing.
  const uint32_t Writes = P.D->ComStateWrites();
  EXPECT_EQ(P.D->SetLine(0, 5, 9, 3), 0);
  EXPECT_EQ(P.D->ComStateWrites(), Writes);
  EXPECT_EQ(DeviceSpeed(P.Pty), speed_t(B230400));
}

TEST(LineSettings, RecordTranslatesBothWays) {
  const struct {
    uint8_t ByteSize, Parity, StopBits;
    tcflag_t Size, ParityFlags;
    bool TwoStop;
  } Cases[] = {
      {8, 0, 0, CS8, 0, false},
      {7, 1, 2, CS7, PARENB | PARODD, true},
      {6, 2, 0, CS6, PARENB, false},
      {8, 3, 2, CS8, PARENB | PARODD | CMSPAR, true},
      {5, 4, 1, CS5, PARENB | CMSPAR, true},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(int(C.ByteSize));
    TDcb In;
    In.BaudRate = 38400;
    In.ByteSize = C.ByteSize;
    In.Parity = C.Parity;
    In.StopBits = C.StopBits;
    In.fOutX = true;
    In.XonChar = 5;
    termios T{};
    int32_t Error = 0;
    ASSERT_TRUE(posixdev::ToTermios(In, T, Error));
    EXPECT_EQ(T.c_cflag & CSIZE, C.Size);
    EXPECT_EQ(T.c_cflag & (PARENB | PARODD | CMSPAR), C.ParityFlags);
    EXPECT_EQ((T.c_cflag & CSTOPB) != 0, C.TwoStop);
    EXPECT_EQ(cfgetospeed(&T), speed_t(B38400));
    TDcb Out;
    posixdev::FromTermios(T, In, Out);
    EXPECT_EQ(Out, In);
  }
  TDcb Bad;
  Bad.BaudRate = 115200;
  Bad.ByteSize = 9;
  termios T{};
  int32_t Error = 0;
  EXPECT_FALSE(posixdev::ToTermios(Bad, T, Error));
  EXPECT_EQ(Error, oeInvalidParameter);
}

TEST(LineSettings, UnchangedSetLineDoesNotWriteTheDevice) {
  TOpenPort<TProbe> P;
  const uint32_t Writes = P.D->ComStateWrites();
  EXPECT_EQ(P.D->SetLine(115200, 0, 8, 1), 0);
  EXPECT_EQ(P.D->ComStateWrites(), Writes);
  EXPECT_EQ(P.D->SetLine(57600, 0, 8, 1), 0);
  EXPECT_EQ(P.D->ComStateWrites(), Writes + 1);
}

TEST(LineSettings, UnknownRateIsRefused) {
  TOpenPort<TProbe> P;
  EXPECT_EQ(P.D->SetLine(12345, 0, 8, 1), -oeInvalidParameter);
}

TEST(FlowControl, OptionsReachTheDevice) {
  TOpenPort<TProbe> P;
  EXPECT_EQ(P.D->HWFlowOptions(20000, 0, 0), ecBadArgument);
  EXPECT_EQ(P.D->HWFlowOptions(10, 20, 0), ecBadArgument);
  EXPECT_EQ(P.D->SWFlowEnable(20000, 0, 3), ecBadArgument);

  EXPECT_EQ(P.D->HWFlowOptions(0, 0, 0), 0);
  EXPECT_EQ(DeviceSettings(P.Pty).c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(P.D->HWFlowOptions(14745, 1638, 0x02), 0);  // hwfUseRTS
  EXPECT_NE(DeviceSettings(P.Pty).c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(P.D->SetRts(false), 1);  // the driver owns RTS now
  EXPECT_EQ(P.D->HWFlowOptions(0, 0, 0), 0);
  EXPECT_EQ(DeviceSettings(P.Pty).c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(P.D->SetRts(false), 0);

  EXPECT_EQ(P.D->SWFlowEnable(12288, 4096, 3), 0);
  termios T = DeviceSettings(P.Pty);
  EXPECT_EQ(T.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
  EXPECT_EQ(T.c_cc[VSTART], 17);
  EXPECT_EQ(T.c_cc[VSTOP], 19);
  EXPECT_EQ(P.D->SWFlowChars(1, 2), 0);
  T = DeviceSettings(P.Pty);
  EXPECT_EQ(T.c_cc[VSTART], 1);
  EXPECT_EQ(T.c_cc[VSTOP], 2);
  EXPECT_EQ(P.D->SWFlowDisable(), 0);
  EXPECT_EQ(DeviceSettings(P.Pty).c_iflag & (IXON | IXOFF), 0u);
  // Line settings survive flow changes.
  EXPECT_EQ(DeviceSpeed(P.Pty), speed_t(B115200));
}

TEST(ModemStatus, DeltaBitsAreReportedOnce) {
  TOpenPort<TProbe> P;
  EXPECT_EQ(P.D->GetModemStatus(), 0);
  P.D->Lines = 0x10 | 0x80;  // CTS and DCD come up
  P.D->InjectEvents(evCts | evRlsd);
  ASSERT_TRUE(WaitUntil([&] { return (P.D->StoredStatus() & 0x0F) != 0; }));
  EXPECT_EQ(P.D->GetModemStatus(), 0x10 | 0x80 | 0x01 | 0x08);
  EXPECT_EQ(P.D->GetModemStatus(), 0x10 | 0x80);

  P.D->Lines = 0x80;  // CTS drops; a ring comes and goes
  P.D->InjectEvents(evCts | evRing);
  ASSERT_TRUE(WaitUntil([&] { return (P.D->StoredStatus() & 0x0F) != 0; }));
  EXPECT_EQ(P.D->GetModemStatus(), 0x80 | 0x01 | 0x04);
  EXPECT_EQ(P.D->GetModemStatus(), 0x80);
}

TEST(LineErrors, ReportedInOrderOfWeight) {
  TOpenPort<TProbe> P;
  const struct {
    uint32_t Bits;
    std::vector<int32_t> Results;  // successive GetLineError calls
    bool Break;
  } Cases[] = {
      {leParity, {3, 0}, false},
      {leOverrun | leFraming, {2, 0}, false},
      {leOverflow | leParity, {1, 0}, false},
      {leFraming | leBreak, {4, 9, 9}, true},
      {leBreak, {9, 9}, true},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Bits);
    P.D->InjectErrors(C.Bits);
    P.D->InjectEvents(evErr);
    ASSERT_TRUE(WaitUntil([&] { return P.D->LineErrorBits() == C.Bits; }));
    for (int32_t R : C.Results) EXPECT_EQ(P.D->GetLineError(), R);
    EXPECT_EQ(P.D->CheckLineBreak(), C.Break);
    EXPECT_FALSE(P.D->CheckLineBreak());
    EXPECT_EQ(P.D->GetLineError(), 0);
  }
}

namespace {
// A driver that toggles RTS itself: it keeps the record as written and logs
// each RTS and break step.
class TToggleProbe : public TRivuPosixDispatcher {
 public:
  using TRivuPosixDispatcher::TRivuPosixDispatcher;
  ~TToggleProbe() override { Shutdown(); }
  int32_t GetComState(TDcb& Record) override {
    std::lock_guard Lock(M);
    if (!Kept) return TRivuPosixDispatcher::GetComState(Record);
    Record = *Kept;
    return 0;
  }
  int32_t SetComState(TDcb& Record) override {
    std::lock_guard Lock(M);
    Kept = Record;
    return 0;
  }
  int32_t EscapeComFunction(int32_t Code) override {
    Note(Code == efSetRts ? "R+" : Code == efClrRts ? "R-" : "");
    return 0;
  }
  void SetComBreak(bool On) override { Note(On ? "B+" : "B-"); }
  uint8_t RtsControl() {
    std::lock_guard Lock(M);
    return Kept.value().fRtsControl;
  }
  std::string TakeLog() {
    std::lock_guard Lock(M);
    return std::exchange(Log, {});
  }

 private:
  void Note(const char* Step) {
    std::lock_guard Lock(M);
    Log += Step;
  }
  std::mutex M;
  std::optional<TDcb> Kept;
  std::string Log;
};
}  // namespace

TEST(Rs485, RtsTogglesWithTheSendsAndFramesTheBreak) {
  TOpenPort<TToggleProbe> P;
  TToggleProbe& D = *P.D;
  ASSERT_EQ(D.SetRS485Mode(true), 0);
  EXPECT_EQ(D.RtsControl(), dcRtsToggle);
  EXPECT_EQ(D.SetRts(true), 1);  // the driver's line now
  // Flow settings that leave RTS free keep the toggle.
  ASSERT_EQ(D.HWFlowOptions(100, 10, 0x08), 0);
  EXPECT_EQ(D.RtsControl(), dcRtsToggle);
  D.TakeLog();
  D.SendBreak(1, false);
  EXPECT_EQ(D.TakeLog(), "R+B+B-R-");
  D.SetBreak(true);
  D.SetBreak(false);
  EXPECT_EQ(D.TakeLog(), "R+B+B-R-");
  // Off: RTS is the caller's level again, and a break leaves it alone.
  ASSERT_EQ(D.SetRS485Mode(false), 0);
  EXPECT_EQ(D.RtsControl(), dcRtsDisable);
  EXPECT_EQ(D.SetRts(true), 0);
  D.TakeLog();
  D.SendBreak(1, false);
  EXPECT_EQ(D.TakeLog(), "B+B-");
}

// A pseudo-terminal has no RS-485 mode: refused, and nothing changes.
TEST(Rs485, ADriverWithoutItRefusesAndKeepsTheLine) {
  TOpenPort<TProbe> P;
  EXPECT_EQ(P.D->SetRS485Mode(true), -oeInvalidParameter);
  EXPECT_EQ(P.D->SetRts(true), 0);
  EXPECT_TRUE(P.D->Rts());
  EXPECT_FALSE(posixdev::Rs485On(P.Pty.SlaveFd()));
  EXPECT_EQ(P.D->SetRS485Mode(false), 0);
}
