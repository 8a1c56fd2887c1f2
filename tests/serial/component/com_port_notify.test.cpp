// The com port's notification window: trigger events, the handler flag, and
// a close asked for from inside an event.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/component/com_port.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/exceptions.h"
#include "tests/serial/component/com_port_fixture.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;
using TSeen = std::vector<std::string>;

// Assigns all ten trigger events, each noting what it got.
void NoteAllEvents(TRivuComPort& port, TSeen& seen) {
  port.SetOnTrigger([&seen](TRivuCustomComPort&, uint16_t msg, uint16_t handle, uint16_t data) {
    seen.push_back("trigger " + std::to_string(msg) + " " + std::to_string(handle) + " " +
                   std::to_string(data));
  });
  port.SetOnTriggerAvail([&seen](TRivuCustomComPort&, uint16_t count) {
    seen.push_back("avail " + std::to_string(count));
  });
  port.SetOnTriggerData(
      [&seen](TRivuCustomComPort&, uint16_t h) { seen.push_back("data " + std::to_string(h)); });
  port.SetOnTriggerTimer(
      [&seen](TRivuCustomComPort&, uint16_t h) { seen.push_back("timer " + std::to_string(h)); });
  port.SetOnTriggerStatus(
      [&seen](TRivuCustomComPort&, uint16_t h) { seen.push_back("status " + std::to_string(h)); });
  port.SetOnTriggerLineError([&seen](TRivuCustomComPort&, uint16_t error, bool lineBreak) {
    seen.push_back("line " + std::to_string(error) + " " + std::to_string(lineBreak));
  });
  port.SetOnTriggerModemStatus([&seen](TRivuCustomComPort&) { seen.push_back("modem"); });
  port.SetOnTriggerOutbuffFree([&seen](TRivuCustomComPort&) { seen.push_back("outfree"); });
  port.SetOnTriggerOutbuffUsed([&seen](TRivuCustomComPort&) { seen.push_back("outused"); });
  port.SetOnTriggerOutSent([&seen](TRivuCustomComPort&) { seen.push_back("outsent"); });
}

TEST_F(ComPortTest, TheWindowTurnsMessagesIntoEvents) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  TSeen seen;
  NoteAllEvents(port, seen);
  port.SetOpen(true);
  const TWindowProc proc = platform.LastWindowProc();
  ASSERT_TRUE(proc);
  const intptr_t index = intptr_t(port.Dispatcher()->PortIndex()) << 16;
  const struct {
    uint32_t Msg;
    uintptr_t Handle;
    intptr_t Param;
    TSeen Seen;
  } cases[] = {
      // An avail message's data word is its count, the trigger handle.
      {nmTriggerAvail, 5, index | 77, {"trigger 32257 5 5", "avail 5"}},
      {nmTriggerData, 8, index | 3, {"trigger 32258 8 3", "data 8"}},
      {nmTriggerTimer, 16, index, {"trigger 32259 16 0", "timer 16"}},
      {nmTriggerStatus, 8 | stModem, index, {"trigger 32260 9 0", "status 9", "modem"}},
      {nmTriggerStatus, 8 | stLine, index, {"trigger 32260 10 0", "status 10", "line 0 0"}},
      {nmTriggerStatus, 8 | stOutFree, index, {"trigger 32260 11 0", "status 11", "outfree"}},
      {nmTriggerStatus, 8 | stOutUsed, index, {"trigger 32260 12 0", "status 12", "outused"}},
      {nmTriggerStatus, 8 | stOutSent, index, {"trigger 32260 13 0", "status 13", "outsent"}},
      // A port list entry that is not there, or a message that is not ours.
      {nmTriggerData, 8, index + (1 << 16), {}},
      {0x7E05, 8, index, {}},
      {cwPortOpened, 8, index, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.Msg << " " << c.Handle);
    seen.clear();
    EXPECT_EQ(proc(c.Msg, c.Handle, c.Param), 0);
    EXPECT_EQ(seen, c.Seen);
  }

  // An event that throws is shown, not raised.
  port.SetOnTriggerTimer([](TRivuCustomComPort&, uint16_t) { throw ECommNotOpen(ecCommNotOpen); });
  EXPECT_EQ(proc(nmTriggerTimer, 16, index), 0);
  EXPECT_EQ(platform.Shown(), (std::vector<std::string>{"ie_NOpen - device not open"}));
  EXPECT_EQ(port.PortState(), psOpen);
}

TEST_F(ComPortTest, ADataTriggerReachesItsEventThroughTheDispatcher) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  std::vector<uint16_t> hits;
  port.SetOnTriggerData([&](TRivuCustomComPort&, uint16_t h) { hits.push_back(h); });
  port.SetOpen(true);
  const uint16_t trigger = port.AddDataTrigger("OK", false);
  pty.Write("xOKy", 4);
  ASSERT_TRUE(WaitUntil([&] {
    platform.ProcessPendingEvents();
    return !hits.empty();
  }));
  EXPECT_EQ(hits, (std::vector<uint16_t>{trigger}));
}

// The dispatcher hears of the component's events only while one is assigned.
TEST_F(ComPortTest, TheHandlerFlagFollowsTheAssignedEvents) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  Record(port);
  port.SetComNumber(3);
  port.SetOpen(true);
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->LastHandlerFlag(), fuDisablePort);
  const auto ignore = [](auto&&...) {};
  const std::vector<std::function<void(bool)>> events = {
      [&](bool on) { port.SetOnTrigger(on ? TTriggerEvent(ignore) : nullptr); },
      [&](bool on) { port.SetOnTriggerAvail(on ? TTriggerAvailEvent(ignore) : nullptr); },
      [&](bool on) { port.SetOnTriggerData(on ? TTriggerHandleEvent(ignore) : nullptr); },
      [&](bool on) { port.SetOnTriggerStatus(on ? TTriggerHandleEvent(ignore) : nullptr); },
      [&](bool on) { port.SetOnTriggerTimer(on ? TTriggerHandleEvent(ignore) : nullptr); },
      [&](bool on) { port.SetOnTriggerLineError(on ? TTriggerLineErrorEvent(ignore) : nullptr); },
      [&](bool on) { port.SetOnTriggerModemStatus(on ? TNotifyEvent(ignore) : nullptr); },
      [&](bool on) { port.SetOnTriggerOutbuffFree(on ? TNotifyEvent(ignore) : nullptr); },
      [&](bool on) { port.SetOnTriggerOutbuffUsed(on ? TNotifyEvent(ignore) : nullptr); },
      [&](bool on) { port.SetOnTriggerOutSent(on ? TNotifyEvent(ignore) : nullptr); },
  };
  for (size_t i = 0; i < events.size(); ++i) {
    SCOPED_TRACE(i);
    events[i](true);
    EXPECT_EQ(recorded->LastHandlerFlag(), fuEnablePort);
    if (i > 0) {
      events[i - 1](false);  // another one is still assigned
      EXPECT_EQ(recorded->LastHandlerFlag(), fuEnablePort);
      events[i - 1](true);
    }
    events[i](false);
    if (i == 0) {
      EXPECT_EQ(recorded->LastHandlerFlag(), fuDisablePort);
    }
  }
  for (const auto& set : events) set(false);
  EXPECT_EQ(recorded->LastHandlerFlag(), fuDisablePort);
  // Reopened with an event assigned: the flag goes with the open.
  port.SetOpen(false);
  events[3](true);
  port.SetOpen(true);
  EXPECT_EQ(recorded->LastHandlerFlag(), fuEnablePort);
}

// Closing from inside an event: the dispatcher thread is still delivering,
// so the window finishes the close once it has returned. Until then the
// owner's port calls return at once.
TEST_F(ComPortTest, AClosingAskedForByAnEventFinishesOnTheWindow) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  TSeen seen;
  int closingMessages = 0;
  port.SetOnTrigger([&](TRivuCustomComPort&, uint16_t msg, uint16_t, uint16_t) {
    if (msg == cwPortClosing) ++closingMessages;
  });
  port.OnPortClose = [&](TRivuCustomComPort& cp) {
    seen.push_back(std::string("closed ") + (cp.PortState() == psShuttingDown ? "S" : "?") +
                   (cp.Open() ? "+" : "-"));
  };
  port.SetOnTriggerAvail([&](TRivuCustomComPort& cp, uint16_t) {
    if (cp.PortState() != psOpen) return;
    cp.SetOpen(false);
    EXPECT_EQ(cp.PortState(), psShuttingDown);
    EXPECT_TRUE(cp.Open());
    char block[2];
    EXPECT_FALSE(cp.CharReady());
    EXPECT_EQ(cp.GetChar(), 0);
    EXPECT_EQ(cp.PeekChar(1), 0);
    EXPECT_EQ(cp.GetBlock(block, 2), 0);
    EXPECT_EQ(cp.PutBlock("zz", 2), 0);
    EXPECT_EQ(cp.ModemStatus(), 0);
    EXPECT_EQ(cp.FlowState(), fcOff);
    EXPECT_NO_THROW(cp.FlushInBuffer());
    seen.push_back("handler done");
  });
  port.SetOpen(true);
  pty.Write("x", 1);
  ASSERT_TRUE(WaitUntil([&] {
    platform.ProcessPendingEvents();
    return port.PortState() == psClosed;
  }));
  EXPECT_EQ(seen, (TSeen{"closed S+", "handler done"}));
  EXPECT_FALSE(port.Open());
  EXPECT_GE(closingMessages, 1);
  EXPECT_TRUE(pty.ReadAvailable().empty());  // nothing was written while closing
  EXPECT_TRUE(platform.Shown().empty());
}

// A new port number from inside an event: the port closes, and opens on the
// new number once the close completes, with its triggers.
TEST_F(ComPortTest, ANewNumberFromAnEventReopensAfterTheClose) {
  TPtyPair second;
  scratch.Link("com5", second.SlavePath());
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  port.SetOnTriggerAvail([](TRivuCustomComPort& cp, uint16_t) {
    if (cp.ComNumber() == 3 && cp.PortState() == psOpen) cp.SetComNumber(5);
  });
  port.SetOpen(true);
  const uint16_t trigger = port.AddDataTrigger("OK", false);
  pty.Write("x", 1);
  ASSERT_TRUE(WaitUntil([&] {
    platform.ProcessPendingEvents();
    return port.ComNumber() == 5 && port.PortState() != psShuttingDown;
  }));
  ASSERT_EQ(port.PortState(), psOpen);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.Dispatcher()->PortName(), "COM5");
  EXPECT_NO_THROW(port.RemoveTrigger(trigger));

  // Asked to open and then to stay closed again: it stays closed.
  port.SetOnTriggerAvail([](TRivuCustomComPort& cp, uint16_t) {
    if (cp.PortState() != psOpen) return;
    cp.SetOpen(false);
    cp.SetOpen(true);
    cp.SetOpen(false);
  });
  second.Write("x", 1);
  ASSERT_TRUE(WaitUntil([&] {
    platform.ProcessPendingEvents();
    return port.PortState() == psClosed;
  }));
  platform.ProcessPendingEvents();
  EXPECT_EQ(port.PortState(), psClosed);
  EXPECT_FALSE(port.Open());
}

}  // namespace
