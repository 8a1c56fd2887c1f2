#include "serial/ports/port_avail.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <utility>

#include "serial/posix/port_errors.h"
#include "tests/serial/port_scratch.h"

namespace {

using port_scratch::THeld;
using port_scratch::TPty;
using port_scratch::TScratch;
namespace fs = std::filesystem;

// Both trial opens read the device layer's error numbers; these are what
// open, flock, TIOCEXCL and tcgetattr can fail with.
TEST(PortProbe, ClassifiesErrnoValues) {
  const std::pair<int, TProbeResult> rows[] = {
      {EBUSY, TProbeResult::prInUse},         {EWOULDBLOCK, TProbeResult::prInUse},
      {EACCES, TProbeResult::prAccessDenied}, {EPERM, TProbeResult::prAccessDenied},
      {ENOENT, TProbeResult::prNoDevice},     {ENODEV, TProbeResult::prNoDevice},
      {ENXIO, TProbeResult::prNoDevice},      {ENOTDIR, TProbeResult::prNoDevice},
      {EIO, TProbeResult::prNoDevice},        {ENOTTY, TProbeResult::prNoDevice},
      {EISDIR, TProbeResult::prFailed},       {EINVAL, TProbeResult::prFailed},
  };
  for (auto [err, expected] : rows) {
    EXPECT_EQ(ClassifyPortError(PortErrorNumber(err)), expected) << err;
  }
}

TEST(PortProbe, TrialOpenReportsWhyAndLeavesNothingHeld) {
  TScratch s;
  TPty pty;
  EXPECT_EQ(ProbeDevice(pty.Path()), TProbeResult::prOpened);
  {
    THeld held(pty.Path());
    EXPECT_EQ(ProbeDevice(pty.Path()), TProbeResult::prInUse);
  }
  // The probe dropped its own lock: another program can take the port now.
  EXPECT_EQ(ProbeDevice(pty.Path()), TProbeResult::prOpened);
  EXPECT_NO_THROW(THeld{pty.Path()});

  EXPECT_EQ(ProbeDevice((s.Dev() / "ttyUSB0").string()), TProbeResult::prNoDevice);
  EXPECT_EQ(ProbeDevice(""), TProbeResult::prNoDevice);
  EXPECT_EQ(ProbeDevice(s.Dev().string()), TProbeResult::prFailed);  // a folder
  // Not a terminal: the device layer could not use it either.
  EXPECT_EQ(ProbeDevice(s.AddDevice("plain").string()), TProbeResult::prNoDevice);
}

class PortAvailability : public ::testing::Test {
 protected:
  void SetUp() override { SetPortMapConfig(scratch_.Config()); }
  void TearDown() override {
    UseDispatcherForAvail = true;
    ShowPortsInUse = true;
    DispatcherPortProbe = nullptr;
    ResetPortMapConfig();
  }

  TScratch scratch_;
};

TEST_F(PortAvailability, NumberZeroIsNeverTried) {
  int calls = 0;
  DispatcherPortProbe = [&](const std::string&) {
    ++calls;
    return TProbeResult::prOpened;
  };
  scratch_.Link("com1", scratch_.AddDevice("line"));
  EXPECT_FALSE(IsPortAvailable(0));
  EXPECT_FALSE(IsPortAvailable(0, CurrentPortMap()));
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(IsPortAvailable(1));
  EXPECT_EQ(calls, 1);
}

TEST_F(PortAvailability, FreePortsAreAvailableHeldOnesOnlyWhenShown) {
  TPty free, held;
  scratch_.Link("com1", free.Path());
  scratch_.Link("com5", held.Path());
  THeld other(held.Path());

  for (bool viaDispatcher : {true, false}) {
    UseDispatcherForAvail = viaDispatcher;
    ShowPortsInUse = true;
    EXPECT_TRUE(IsPortAvailable(1));
    EXPECT_TRUE(IsPortAvailable(5));
    EXPECT_FALSE(IsPortAvailable(3));   // no device behind it
    EXPECT_FALSE(IsPortAvailable(51));  // out of range
    ShowPortsInUse = false;
    EXPECT_TRUE(IsPortAvailable(1));
    EXPECT_FALSE(IsPortAvailable(5));
  }
}

TEST_F(PortAvailability, DanglingLinkIsNotAvailable) {
  scratch_.Link("com2", scratch_.Dev() / "ttyUSB9");
  EXPECT_FALSE(IsPortAvailable(2));
}

TEST_F(PortAvailability, PermissionRefusalIsNotInUse) {
  scratch_.Link("com1", scratch_.AddDevice("line"));
  std::string probed;
  TProbeResult answer = TProbeResult::prAccessDenied;
  DispatcherPortProbe = [&](const std::string& path) {
    probed = path;
    return answer;
  };
  const std::pair<TProbeResult, bool> rows[] = {
      {TProbeResult::prAccessDenied, false}, {TProbeResult::prInUse, true},
      {TProbeResult::prNoDevice, false},     {TProbeResult::prFailed, false},
      {TProbeResult::prOpened, true},
  };
  for (auto [result, available] : rows) {
    answer = result;
    EXPECT_EQ(IsPortAvailable(1), available) << static_cast<int>(result);
  }
  EXPECT_EQ(probed, (scratch_.Dev() / "line").string());

  // Without the device layer the direct trial open is used, not the hook: it
  // opens a terminal and, like the device layer, takes a plain file for none.
  UseDispatcherForAvail = false;
  answer = TProbeResult::prFailed;
  TPty pty;
  scratch_.Link("com2", pty.Path());
  EXPECT_TRUE(IsPortAvailable(2));
  EXPECT_FALSE(IsPortAvailable(1));
}

}  // namespace
