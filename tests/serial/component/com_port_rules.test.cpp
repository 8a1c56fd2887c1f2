// The com port's opening rules, its setters while open, loading from a
// stored description, copying settings and finding a port among components.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/component/com_port.h"
#include "serial/errors/exceptions.h"
#include "tests/serial/component/com_port_fixture.h"

namespace {

using TPortOp = std::pair<const char*, std::function<void(TRivuComPort&)>>;

// Operations that find their dispatcher through the valid-dispatcher rule
// and need nothing buffered.
const std::vector<TPortOp>& RuleOperations() {
  static const std::vector<TPortOp> ops = {
      {"CharReady", [](TRivuComPort& p) { p.CharReady(); }},
      {"PutBlock", [](TRivuComPort& p) { p.PutBlock("x", 1); }},
      {"PutString", [](TRivuComPort& p) { p.PutString("x"); }},
      {"FlushInBuffer", [](TRivuComPort& p) { p.FlushInBuffer(); }},
      {"FlushOutBuffer", [](TRivuComPort& p) { p.FlushOutBuffer(); }},
      {"ModemStatus", [](TRivuComPort& p) { p.ModemStatus(); }},
      {"FlowState", [](TRivuComPort& p) { p.FlowState(); }},
      {"ProcessCommunications", [](TRivuComPort& p) { p.ProcessCommunications(); }},
      {"SetBreak", [](TRivuComPort& p) { p.SetBreak(false); }},
      {"AddTimerTrigger", [](TRivuComPort& p) { p.AddTimerTrigger(); }},
      {"RemoveAllTriggers", [](TRivuComPort& p) { p.RemoveAllTriggers(); }},
  };
  return ops;
}

TEST_F(ComPortTest, OnTheOwnersThreadAClosedPortOpensOnlyWithAutoOpen) {
  platform.Answer = 3;
  for (const auto& [name, op] : RuleOperations()) {
    SCOPED_TRACE(name);
    {
      TRivuComPort port(nullptr, &platform);
      Configure(port);
      port.SetAutoOpen(false);
      EXPECT_THROW(op(port), ECommNotOpen);
      EXPECT_EQ(port.PortState(), psClosed);
    }
    TRivuComPort port(nullptr, &platform);
    Configure(port);
    EXPECT_NO_THROW(op(port));
    EXPECT_EQ(port.PortState(), psOpen);
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(port.ComNumber(), 3);  // asked for, as any open would
  }
  EXPECT_EQ(platform.Prompts, int(RuleOperations().size()));
}

TEST_F(ComPortTest, EachLineSettingWhileOpenSendsAllFour) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  Record(port);
  port.SetComNumber(3);
  port.SetOpen(true);
  recorded->KeepLineStates = true;
  port.SetParity(pEven);
  port.SetDataBits(7);
  port.SetStopBits(2);
  port.SetBaud(9600);
  port.SetBaud(9600);  // the same value sends nothing
  ASSERT_EQ(recorded->States.size(), 4u);
  const struct {
    uint32_t Baud;
    uint8_t Parity, ByteSize, StopCode;
  } sent[] = {{115200, 2, 8, 0}, {115200, 2, 7, 0}, {115200, 2, 7, 2}, {9600, 2, 7, 2}};
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(recorded->States[i].BaudRate, sent[i].Baud);
    EXPECT_EQ(recorded->States[i].Parity, sent[i].Parity);
    EXPECT_EQ(recorded->States[i].ByteSize, sent[i].ByteSize);
    EXPECT_EQ(recorded->States[i].StopBits, sent[i].StopCode);
  }
}

// A refused line setting is kept, to go out at the next open; a refused DTR
// or RTS is not, since the line did not change.
TEST_F(ComPortTest, RefusedSettingsWhileOpen) {
  const struct {
    const char* Name;
    std::function<void(TRivuComPort&)> Set;
    std::function<bool(TRivuComPort&)> Changed;
    bool Kept;
  } cases[] = {
      {"Baud", [](TRivuComPort& p) { p.SetBaud(9600); },
       [](TRivuComPort& p) { return p.Baud() == 9600; }, true},
      {"Parity", [](TRivuComPort& p) { p.SetParity(pOdd); },
       [](TRivuComPort& p) { return p.Parity() == pOdd; }, true},
      {"DTR", [](TRivuComPort& p) { p.SetDTR(false); }, [](TRivuComPort& p) { return !p.DTR(); },
       false},
      {"RTS", [](TRivuComPort& p) { p.SetRTS(true); }, [](TRivuComPort& p) { return p.RTS(); },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TRivuComPort port(nullptr, &platform);
    Configure(port);
    Record(port);
    port.SetComNumber(3);
    port.SetOpen(true);
    recorded->RefuseLines = true;
    EXPECT_THROW(c.Set(port), ERivuException);
    EXPECT_EQ(c.Changed(port), c.Kept);
  }
}

TEST_F(ComPortTest, LoadingOpensWhenItEnds) {
  {
    TRivuComPort port(nullptr, &platform);
    Configure(port);
    port.SetComNumber(3);
    port.SetLoading(true);
    port.SetOpen(true);  // only stored while loading
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(port.PortState(), psClosed);
    port.Loaded();
    EXPECT_EQ(port.PortState(), psOpen);
    EXPECT_FALSE(port.Loading());
  }
  for (const bool autoOpen : {true, false}) {
    SCOPED_TRACE(autoOpen);
    TRivuComPort port(nullptr, &platform);
    Configure(port);
    port.SetComNumber(3);
    port.SetAutoOpen(autoOpen);
    port.SetLoading(true);
    port.ForcePortOpen();
    port.Loaded();
    EXPECT_EQ(port.PortState(), autoOpen ? psOpen : psClosed);
    EXPECT_EQ(port.Open(), autoOpen);
  }
  // A failed open at the end of loading is shown, not raised.
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(7);
  port.SetLoading(true);
  port.SetOpen(true);
  EXPECT_NO_THROW(port.Loaded());
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.PortState(), psClosed);
  EXPECT_EQ(platform.Shown(),
            (std::vector<std::string>{"ie_BadId - Specified comport doesn't exist"}));
}

TEST_F(ComPortTest, AssignCopiesTheSettingsAndLeavesThePortClosed) {
  TRivuComPort source(nullptr, &platform);
  source.SetComNumber(5);
  source.SetBaud(57600);
  source.SetParity(pOdd);
  source.SetDataBits(7);
  source.SetStopBits(2);
  source.SetInSize(2048);
  source.SetOutSize(1024);
  source.SetDTR(false);
  source.SetSWFlowOptions(swfBoth);
  source.SetXOnChar('a');
  source.SetTraceName("copied.trc");
  source.SetLogSize(77);
  source.SetAutoOpen(false);
  source.SetTriggerLength(4);
  source.OnPortOpen = [](TRivuCustomComPort&) {};

  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  port.SetOpen(true);
  port.Assign(source);
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.PortState(), psClosed);
  EXPECT_EQ(port.ComNumber(), 5);
  EXPECT_EQ(port.Baud(), 57600);
  EXPECT_EQ(port.Parity(), pOdd);
  EXPECT_EQ(port.DataBits(), 7);
  EXPECT_EQ(port.StopBits(), 2);
  EXPECT_EQ(port.InSize(), 2048);
  EXPECT_EQ(port.OutSize(), 1024);
  EXPECT_FALSE(port.DTR());
  EXPECT_EQ(port.SWFlowOptions(), swfBoth);
  EXPECT_EQ(port.BufferFull(), source.BufferFull());
  EXPECT_EQ(port.BufferResume(), source.BufferResume());
  EXPECT_EQ(port.XOnChar(), 'a');
  EXPECT_EQ(port.TraceName(), "copied.trc");
  EXPECT_EQ(port.LogSize(), 77u);
  EXPECT_FALSE(port.AutoOpen());
  EXPECT_EQ(port.TriggerLength(), 4);
  EXPECT_FALSE(port.OnPortOpen);  // events are the owner's own

  TRivuBaseComponent other;
  EXPECT_THROW(port.Assign(other), std::invalid_argument);
  // The only device layer there is stays the only one allowed.
  port.SetDeviceLayer(dlWinsock);
  EXPECT_EQ(port.DeviceLayer(), dlWin32);
}

TEST(SearchComPort, FindsTheFirstPortDepthFirst) {
  TRivuBaseComponent form;
  EXPECT_EQ(SearchComPort(&form), nullptr);
  EXPECT_EQ(SearchComPort(nullptr), nullptr);
  TRivuBaseComponent panel(&form);
  TRivuBaseComponent inner(&panel);
  TRivuComPort later(&form);
  EXPECT_EQ(SearchComPort(&form), &later);
  TRivuComPort nested(&inner);  // under the first component, so found first
  EXPECT_EQ(SearchComPort(&form), &nested);
  EXPECT_EQ(SearchComPort(&later), nullptr);
}

}  // namespace
