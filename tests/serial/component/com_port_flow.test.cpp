// Flow control settings of the com port as they reach the device: read back
// from the pseudo-terminal slave's line settings.
#include <gtest/gtest.h>
#include <termios.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "serial/component/com_port.h"
#include "tests/serial/component/com_port_fixture.h"

namespace {

struct TFlowSeen {
  bool RtsCts, XOn, XOff;
  int Start, Stop;
  bool operator==(const TFlowSeen&) const = default;
};
std::ostream& operator<<(std::ostream& os, const TFlowSeen& f) {
  return os << "crtscts " << f.RtsCts << " ixon " << f.XOn << " ixoff " << f.XOff << " start "
            << f.Start << " stop " << f.Stop;
}

class ComPortFlow : public ComPortTest {
 protected:
  ComPortFlow() {
    Configure(port);
    port.SetComNumber(3);
  }
  // A pseudo-terminal keeps CRTSCTS, the XON/XOFF switches and their
  // characters (not the parity or the data size).
  TFlowSeen Seen() {
    termios t{};
    EXPECT_EQ(tcgetattr(pty.SlaveFd(), &t), 0);
    return {(t.c_cflag & CRTSCTS) != 0, (t.c_iflag & IXON) != 0, (t.c_iflag & IXOFF) != 0,
            t.c_cc[VSTART], t.c_cc[VSTOP]};
  }

  TRivuComPort port{nullptr, &platform};
};

TEST_F(ComPortFlow, SettingsMadeWhileClosedReachTheOpenedPort) {
  const struct {
    THWFlowOptionSet Hw;
    TSWFlowOptions Sw;
    char XOn, XOff;
    TFlowSeen Seen;
  } cases[] = {
      {HWFlowBit(hwfRequireCTS), swfBoth, 5, 6, {true, true, true, 5, 6}},
      {0, swfTransmit, 1, 2, {false, true, false, 1, 2}},
      {HWFlowBit(hwfUseRTS), swfReceive, 17, 19, {true, false, true, 17, 19}},
      {0, swfNone, 3, 4, {false, false, false, 3, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.Hw) << " " << int(c.Sw));
    port.SetHWFlowOptions(c.Hw);
    port.SetSWFlowOptions(c.Sw);
    port.SetXOnChar(c.XOn);
    port.SetXOffChar(c.XOff);
    port.SetOpen(true);
    EXPECT_EQ(Seen(), c.Seen);
    port.SetOpen(false);
  }
}

// Switching XON/XOFF flow while open, or moving its thresholds, gives the
// device that setting alone, with the characters the port was given.
TEST_F(ComPortFlow, FlowChangesWhileOpenKeepTheCustomCharacters) {
  const std::vector<std::tuple<const char*, std::function<void()>, TFlowSeen>> changes = {
      {"SWFlowOptions", [this] { port.SetSWFlowOptions(swfReceive); }, {false, false, true, 5, 6}},
      {"BufferFull", [this] { port.SetBufferFull(10000); }, {false, true, true, 5, 6}},
      {"BufferResume", [this] { port.SetBufferResume(100); }, {false, true, true, 5, 6}},
  };
  port.SetOpen(true);
  for (const auto& [name, change, want] : changes) {
    SCOPED_TRACE(name);
    port.SetSWFlowOptions(swfBoth);
    port.SetXOnChar(5);
    port.SetXOffChar(6);
    change();
    EXPECT_EQ(Seen(), want);
    EXPECT_EQ(port.XOnChar(), 5);
    port.SetSWFlowOptions(swfNone);
    port.SetXOnChar(17);
    port.SetXOffChar(19);
  }
}

// A receive queue size changed while open bounds the flow thresholds.
TEST_F(ComPortFlow, AQueueSizeChangedWhileOpenBoundsTheThresholds) {
  port.SetInSize(1024);
  port.SetOpen(true);
  port.SetInSize(16384);
  uint32_t in = 0, out = 0;
  port.Dispatcher()->BufferSizes(in, out);
  EXPECT_EQ(in, 16384u);
  EXPECT_NO_THROW(port.SetSWFlowOptions(swfBoth));
  EXPECT_EQ(port.BufferFull(), 12288);
  EXPECT_TRUE(Seen().XOff);
}

}  // namespace
