// Opening, closing and losing the device, over real pseudo-terminals.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>

#include "serial/dispatcher/dispatcher_thread.h"
#include "serial/errors/error_codes.h"
#include "serial/posix/port_errors.h"
#include "tests/serial/port_fixture.h"

namespace {
using namespace std::chrono_literals;

int32_t Open(TRivuPosixDispatcher& D, const std::string& Path) {
  return D.InitPort(Path, 115200, 0, 8, 1, kTestBufSize, kTestBufSize, 1);
}

// The dispatcher thread's own close after a hang-up lingers as it begins,
// so a close asked for meanwhile on another thread meets it under way.
class TSlowSelfClose : public TRivuPosixDispatcher {
 public:
  using TRivuPosixDispatcher::TRivuPosixDispatcher;
  ~TSlowSelfClose() override { Shutdown(); }
  void NameThread(const char* Name) override {
    if (std::string_view(Name) == "ComDisp") DispThread = std::this_thread::get_id();
    TRivuPosixDispatcher::NameThread(Name);
  }
  void SetKillThreads() override {
    if (std::this_thread::get_id() == DispThread.load() && !InClose.exchange(true)) {
      std::this_thread::sleep_for(300ms);
    }
    TRivuPosixDispatcher::SetKillThreads();
  }
  std::atomic<std::thread::id> DispThread{};
  std::atomic<bool> InClose{false};
};
}  // namespace

TEST(PortErrors, ErrnoTranslation) {
  const struct {
    int Errno;
    int32_t Number;
  } Cases[] = {
      {ENOENT, oeFileNotFound},
      {ENODEV, oeFileNotFound},
      {ENXIO, oeFileNotFound},
      {ENOTDIR, oePathNotFound},
      {EBUSY, oeAccessDenied},
      {EWOULDBLOCK, oeAccessDenied},
      {EACCES, oePermissionDenied},
      {EPERM, oePermissionDenied},
      {EBADF, oeInvalidHandle},
      {EINVAL, oeInvalidParameter},
      {ENOSPC, ENOSPC},
  };
  for (const auto& C : Cases) EXPECT_EQ(PortErrorNumber(C.Errno), C.Number) << C.Errno;
  // "Held by another program" and "no permission" stay apart.
  EXPECT_NE(PortErrorNumber(EACCES), PortErrorNumber(EBUSY));
}

TEST(PortOpen, MissingDeviceFailsAndLeavesNothingBehind) {
  const int Before = OpenDescriptorCount();
  {
    TRecordingOwner Owner;
    TRivuPosixDispatcher D(&Owner);
    EXPECT_EQ(Open(D, "/dev/zedazi-no-such-port"), -oeFileNotFound);
    EXPECT_EQ(D.ThreadCountNow(), 0);
    EXPECT_FALSE(D.DispatcherActiveNow());
    EXPECT_LT(D.ComHandleNow(), 0);
    EXPECT_FALSE(D.CharReady());
    EXPECT_EQ(D.PutChar('x'), ecCommNotOpen);
  }
  EXPECT_EQ(OpenDescriptorCount(), Before);
}

TEST(PortOpen, NonTerminalPathIsNoSuchDevice) {
  TRivuPosixDispatcher D(nullptr);
  EXPECT_EQ(Open(D, "/dev/null"), -oeFileNotFound);
}

TEST(PortOpen, SecondDispatcherOnAHeldDeviceIsRefused) {
  TOpenPort P;
  const int Before = OpenDescriptorCount();
  {
    TRivuPosixDispatcher Second(nullptr);
    EXPECT_EQ(Open(Second, P.Pty.SlavePath()), -oeAccessDenied);
    EXPECT_EQ(Second.ThreadCountNow(), 0);
  }
  EXPECT_EQ(OpenDescriptorCount(), Before);
  // The first still works.
  P.Receive(Bytes("ok"));
  EXPECT_EQ(P.Get(2), Bytes("ok"));
}

TEST(PortOpen, ManyOpenCloseCyclesLeakNothing) {
  TPtyPair Pty;
  const int Before = OpenDescriptorCount();
  for (int I = 0; I < 200; ++I) {
    TRecordingOwner Owner;
    TRivuPosixDispatcher D(&Owner);
    ASSERT_EQ(Open(D, Pty.SlavePath()), 0) << "cycle " << I;
    ASSERT_EQ(D.ThreadCountNow(), 4);
    D.DonePort();
    ASSERT_EQ(D.ThreadCountNow(), 0);
    ASSERT_LT(D.ComHandleNow(), 0);
  }
  EXPECT_EQ(OpenDescriptorCount(), Before);
}

TEST(PortOpen, ThreadTheSystemWillNotGiveFailsTheOpenWithNothingLeft) {
  // Each of the four threads in turn is refused, as by a thread limit.
  static std::atomic<int> Left;
  TPtyPair Pty;
  const int Before = OpenDescriptorCount();
  for (int Refused = 0; Refused < 4; ++Refused) {
    Left = Refused;
    SetThreadStarter([](std::function<void()> Body) {
      if (Left-- == 0)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      return std::thread(std::move(Body));
    });
    TRivuPosixDispatcher D(nullptr);
    EXPECT_THROW(Open(D, Pty.SlavePath()), std::system_error) << Refused;
    SetThreadStarter(nullptr);
    EXPECT_EQ(D.ThreadCountNow(), 0) << Refused;
    EXPECT_FALSE(D.DispatcherActiveNow()) << Refused;
    EXPECT_LT(D.ComHandleNow(), 0) << Refused;
    // Nothing to wait for: the close returns, and the port opens again.
    D.DonePort();
    ASSERT_EQ(Open(D, Pty.SlavePath()), 0) << Refused;
    EXPECT_EQ(D.ThreadCountNow(), 4);
  }
  EXPECT_EQ(OpenDescriptorCount(), Before);
}

TEST(PortClose, WhileBytesArriveAllThreadsEnd) {
  TPtyPair Pty;
  const int Before = OpenDescriptorCount();
  std::atomic<bool> Stop{false};
  std::thread Box([&] {
    const auto Data = Pattern(4096, 9);
    while (!Stop) {
      if (write(Pty.MasterFd(), Data.data(), Data.size()) < 0) std::this_thread::sleep_for(1ms);
    }
  });
  for (int I = 0; I < 5; ++I) {
    TRecordingPlatform Platform;
    TRecordingOwner Owner;
    auto D = std::make_unique<TRivuPosixDispatcher>(&Owner, &Platform);
    ASSERT_EQ(Open(*D, Pty.SlavePath()), 0);
    ASSERT_TRUE(WaitUntil([&] { return D->InBuffUsed() > 0; }));
    uint8_t Buf[100];
    D->GetBlock(Buf, sizeof Buf);
    D->DonePort();
    EXPECT_EQ(D->ThreadCountNow(), 0);
    EXPECT_FALSE(D->DispatcherActiveNow());
    D.reset();
    EXPECT_TRUE(Owner.Seen().empty());
    EXPECT_TRUE(Platform.Shown().empty());
  }
  Stop = true;
  Box.join();
  EXPECT_EQ(OpenDescriptorCount(), Before);
}

TEST(PortClose, DestroyingAnOpenDispatcherClosesIt) {
  TPtyPair Pty;
  const int Before = OpenDescriptorCount();
  {
    TRivuPosixDispatcher D(nullptr);
    ASSERT_EQ(Open(D, Pty.SlavePath()), 0);
    ASSERT_EQ(D.PutString("bye"), 0);
  }
  EXPECT_EQ(OpenDescriptorCount(), Before);
}

TEST(PortClose, AFailedCloseForgetsTheDescriptorAllTheSame) {
  TOpenPort P;
  const int Fd = P.D->ComHandleNow();
  ASSERT_GE(Fd, 0);
  // Closed behind the dispatcher's back, so its own close fails with EBADF.
  ASSERT_EQ(close(Fd), 0);
  EXPECT_EQ(P.D->CloseCom(), -1);
  EXPECT_LT(P.D->ComHandleNow(), 0);
  // The number is free again; a descriptor that takes it outlives the
  // dispatcher's clean-up.
  const int Other = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(Other, Fd);
  P.D->DonePort();
  P.D.reset();
  EXPECT_NE(fcntl(Other, F_GETFD), -1);
  close(Other);
}

// A close that finds the port closing itself returns once the device is
// closed, not at once: what its caller frees next must not race that close.
TEST(PortClose, ACloseMeetingTheSelfCloseWaitsForIt) {
  TRecordingOwner Owner;
  TRecordingPlatform Platform;
  TPtyPair Pty;
  TSlowSelfClose D(&Owner, &Platform);
  ASSERT_EQ(Open(D, Pty.SlavePath()), 0);
  Pty.CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return D.InClose.load(); }));
  D.DonePort();
  EXPECT_LT(D.ComHandleNow(), 0);
  EXPECT_EQ(D.ThreadCountNow(), 0);
}

TEST(PortFailure, UnpluggedDeviceEndsThreadsAndIsReportedOnce) {
  TOpenPort P;
  P.Receive(Bytes("before"));
  std::thread Waiter([&] {
    // A reader waiting for more sees the port go away.
    EXPECT_EQ(P.D->WaitForData(100, 20s), TDataWait::Closed);
  });
  P.Pty.CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return P.D->ThreadCountNow() == 0; }));
  Waiter.join();
  EXPECT_FALSE(P.D->DispatcherActiveNow());
  EXPECT_LT(P.D->ComHandleNow(), 0);
  EXPECT_EQ(P.Owner.Seen(), std::vector<int32_t>{ecDeviceRead});
  ASSERT_EQ(P.Platform.Shown().size(), 1u);
  EXPECT_NE(P.Platform.Shown()[0].find("-161"), std::string::npos);
  // The port is still closed normally afterwards.
  uint8_t B;
  EXPECT_EQ(P.D->GetChar(B), ecBufferIsEmpty);
  P.D->DonePort();
  P.D.reset();
  EXPECT_EQ(P.Platform.Shown().size(), 1u);
}

namespace {
// Bytes the far end could read now.
int FarEndHolds(const TPtyPair& Pty) {
  int N = 0;
  return ioctl(Pty.MasterFd(), FIONREAD, &N) == 0 ? N : -1;
}
}  // namespace

// The write thread may be the first to see the device go; the user hears the
// same as when the read thread is.
TEST(PortFailure, UnpluggedUnderABlockedWriteIsReportedAsAnyLoss) {
  for (uint32_t Round = 0; Round < 10; ++Round) {
    SCOPED_TRACE(Round);
    TOpenPort P;
    // The far end reads nothing, and the two blocks are more than the
    // driver holds: the write thread is left waiting for room.
    const auto Block = Pattern(kTestBufSize, Round);
    ASSERT_EQ(P.D->PutBlock(Block.data(), kTestBufSize), 0);
    ASSERT_TRUE(WaitUntil([&] { return P.D->OutBuffUsed() == 0; }));
    ASSERT_EQ(P.D->PutBlock(Block.data(), kTestBufSize), 0);
    ASSERT_TRUE(WaitUntil([&] { return FarEndHolds(P.Pty) >= 4000; }));
    P.Pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return P.D->ThreadCountNow() == 0; }));
    EXPECT_EQ(P.Owner.Seen(), std::vector<int32_t>{ecDeviceRead});
    ASSERT_EQ(P.Platform.Shown().size(), 1u);
    EXPECT_NE(P.Platform.Shown()[0].find("-161"), std::string::npos);
  }
}

TEST(PortFailure, WriteTellsAVanishedDeviceFromOtherFailures) {
  const uint8_t Byte = 'x';
  TPtyPair Pty;
  Pty.CloseMaster();
  EXPECT_EQ(posixdev::Write(Pty.SlaveFd(), &Byte, 1), posixdev::ioDeviceGone);
  const int ReadOnly = open("/dev/null", O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(posixdev::Write(ReadOnly, &Byte, 1), posixdev::ioInvalidHandle);
  close(ReadOnly);
  // An eventfd takes eight bytes at a time: one is refused as invalid.
  const int Event = posixdev::MakeWakeFd();
  EXPECT_EQ(posixdev::Write(Event, &Byte, 1), posixdev::ioFailed);
  posixdev::CloseWakeFd(Event);
}

TEST(PortFailure, StartingTwiceIsRefused) {
  TOpenPort P;
  EXPECT_THROW(P.D->StartDispatcher(), std::runtime_error);
  EXPECT_EQ(P.D->ThreadCountNow(), 4);
}

TEST(PortClose, DataOperationsRacingTheCloseStaySafe) {
  for (int Round = 0; Round < 20; ++Round) {
    TOpenPort P;
    std::atomic<bool> Stop{false};
    std::atomic<int32_t> LastGet{0}, LastPut{0};
    std::thread Task([&] {
      uint8_t Buf[64] = {};
      // One last round runs after the close has certainly finished.
      for (bool Last = false; !Last;) {
        Last = Stop;
        P.D->CharReady();
        P.D->WaitForData(2, 1ms);
        LastGet = P.D->GetBlock(Buf, 2);
        P.D->PeekBlock(Buf, 1);
        LastPut = P.D->PutBlock(Buf, sizeof Buf);
        P.D->InBuffUsed();
        P.D->OutBuffFree();
      }
    });
    P.Pty.Write(Pattern(3000, uint32_t(Round)));
    P.D->DonePort();
    std::this_thread::sleep_for(1ms);
    Stop = true;
    Task.join();
    EXPECT_EQ(LastGet, ecBufferIsEmpty);
    EXPECT_EQ(LastPut, ecCommNotOpen);
  }
}
