// Closing the com port when something goes wrong on the way.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/component/com_port.h"
#include "serial/errors/exceptions.h"
#include "tests/serial/component/com_port_fixture.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;
using TSeen = std::vector<std::string>;

TSeen seen;
int exThrowsAt = -1;  // a callback type
std::function<void(TRivuCallbackType)> exDoes;

[[noreturn]] void Refuse() {
  throw std::runtime_error("refused");
}
std::string StateOf(const TRivuCustomComPort& cp) {
  static const char* const kStates[] = {"C", "S", "O"};
  return std::string(kStates[cp.PortState()]) + (cp.Open() ? "+" : "-");
}
void PlainUser(TRivuCustomComPort* cp, bool opening) {
  seen.push_back(std::string(opening ? "plain opening " : "plain closed ") + StateOf(*cp));
}
void ExUser(TRivuCustomComPort* cp, TRivuCallbackType type) {
  static const char* const kTypes[] = {"ctOpen", "ctClosing", "ctClosed"};
  seen.push_back(std::string("ex ") + kTypes[type] + " " + StateOf(*cp));
  if (exDoes) exDoes(type);
  if (type == exThrowsAt) Refuse();
}

class ComPortClose : public ComPortTest {
 protected:
  ComPortClose() {
    port.SetAutoOpen(false);
    Configure(port);
    port.SetComNumber(3);
  }
  ~ComPortClose() override {
    exThrowsAt = -1;
    exDoes = nullptr;
    seen.clear();
  }
  // Another component can take the device: the port let it go.
  bool DeviceFree() {
    TRivuComPort other(nullptr, &platform);
    Configure(other);
    other.SetComNumber(3);
    other.SetAutoOpen(false);
    other.SetOpen(true);
    return other.PortState() == psOpen;
  }

  TRivuComPort port{nullptr, &platform};
};

// Whoever throws while the port closes, or refuses its open, the port ends
// closed: device let go, dispatcher gone, every user told of the open told it
// closed, the first exception raised afterwards, and it opens again.
TEST_F(ComPortClose, AUserThatThrowsStillLeavesThePortClosed) {
  std::unique_ptr<TNotifyWindow> window;
  const TSeen closed = {"ex ctClosing S+", "ex ctClosed C-", "plain closed C-"};
  const struct {
    const char* Name;
    bool Opening;
    std::function<void(TRivuComPort&)> Arm;
    TSeen Seen;
  } cases[] = {
      {"extended callback closing", false, [](auto&) { exThrowsAt = ctClosing; }, closed},
      {"extended callback closed", false, [](auto&) { exThrowsAt = ctClosed; }, closed},
      {"user window", false,
       [&](TRivuComPort& p) {
         window = platform.CreateNotifyWindow([](uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
           if (msg == cwPortClosing) Refuse();
           return 0;
         });
         p.RegisterUserEx(window.get());
       },
       closed},
      {"OnPortClose", false,
       [](TRivuComPort& p) { p.OnPortClose = [](TRivuCustomComPort&) { Refuse(); }; }, closed},
      {"OnPortOpen",
       true,
       [](TRivuComPort& p) { p.OnPortOpen = [](TRivuCustomComPort&) { Refuse(); }; },
       {"plain opening O+", "ex ctOpen O+", "ex ctClosing S+", "plain closed C-",
        "ex ctClosed C-"}},
      // Users not yet told of the open hear nothing.
      {"extended callback opening",
       true,
       [](auto&) { exThrowsAt = ctOpen; },
       {"plain opening O+", "ex ctOpen O+", "plain closed C-"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TRivuComPort p(nullptr, &platform);
    p.SetAutoOpen(false);
    Configure(p);
    p.SetComNumber(3);
    // Users are told last registered first: the other user is told after the
    // thrower at a close, and before the refuser at an open.
    if (c.Opening) p.RegisterUserCallbackEx(&ExUser);
    p.RegisterUserCallback(&PlainUser);
    if (!c.Opening) {
      p.RegisterUserCallbackEx(&ExUser);
      p.SetOpen(true);
    }
    const std::weak_ptr<TRivuBaseDispatcher> dispatcher = p.Dispatcher();
    c.Arm(p);
    seen.clear();
    EXPECT_THROW(p.SetOpen(c.Opening), std::runtime_error);
    EXPECT_EQ(p.PortState(), psClosed);
    EXPECT_FALSE(p.Open());
    EXPECT_TRUE(dispatcher.expired());
    EXPECT_TRUE(DeviceFree());
    EXPECT_EQ(seen, c.Seen);

    exThrowsAt = -1;
    p.OnPortOpen = p.OnPortClose = nullptr;
    if (window) p.DeregisterUser(window.get());
    window.reset();
    p.SetOpen(true);
    EXPECT_EQ(p.PortState(), psOpen);
  }
}

// A close asked for by an event handler takes back the queued output at once,
// though the dispatcher can only stop once the handler returns. The far end
// holds the line with XOFF, so nothing leaves before.
TEST_F(ComPortClose, AClosingFromAnEventTakesBackTheOutputAtOnce) {
  Record(port);
  port.SetSWFlowOptions(swfTransmit);
  int32_t before = -1;
  int32_t after = -1;
  port.SetOnTriggerData([&](TRivuCustomComPort& cp, uint16_t) {
    if (cp.PortState() != psOpen) return;
    const std::string block(8000, 'z');
    cp.PutBlock(block.data(), uint16_t(block.size()));
    before = recorded->OutputPending();
    cp.SetOpen(false);
    after = recorded->OutputPending();
  });
  port.SetOpen(true);
  port.AddDataTrigger("x", false);
  pty.Write("\x13x", 2);
  ASSERT_TRUE(WaitUntil([&] {
    platform.ProcessPendingEvents();
    return port.PortState() == psClosed;
  }));
  EXPECT_EQ(before, 8000);
  EXPECT_EQ(after, 0);
}

// The open-after-close wish ends with the close it was made in: a later close
// from an event leaves the port closed.
TEST_F(ComPortClose, AnOpenAskedForDuringACloseDoesNotOutliveIt) {
  port.RegisterUserCallbackEx(&ExUser);
  exDoes = [this](TRivuCallbackType t) {
    if (t == ctClosing) port.SetOpen(true);
  };
  port.SetOpen(true);
  port.SetOpen(false);
  EXPECT_EQ(port.PortState(), psClosed);
  exDoes = nullptr;

  port.SetOpen(true);
  port.SetOnTriggerAvail([](TRivuCustomComPort& cp, uint16_t) {
    if (cp.PortState() == psOpen) cp.SetOpen(false);
  });
  pty.Write("x", 1);
  ASSERT_TRUE(WaitUntil([&] {
    platform.ProcessPendingEvents();
    return port.PortState() != psShuttingDown && seen.size() >= 6;
  }));
  platform.ProcessPendingEvents();
  EXPECT_EQ(port.PortState(), psClosed);
  EXPECT_FALSE(port.Open());
}

// A trace that cannot be written does not stop a change of port number: the
// port opens on the new number, recorders as they were, then the failure is
// raised.
TEST_F(ComPortClose, ANewNumberCompletesThoughTheTraceCannotBeWritten) {
  TPtyPair second;
  scratch.Link("com5", second.SlavePath());
  port.SetTraceName((scratch.Root() / "missing" / "RIVU.TRC").string());
  port.SetTracing(tlOn);
  port.SetLogging(tlOn);
  port.SetOpen(true);
  port.PutBlock("AT\r", 3);
  EXPECT_THROW(port.SetComNumber(5), EInOutError);
  EXPECT_EQ(port.ComNumber(), 5);
  ASSERT_EQ(port.PortState(), psOpen);
  EXPECT_EQ(port.Dispatcher()->PortName(), "COM5");
  EXPECT_EQ(port.Tracing(), tlOn);
  EXPECT_EQ(port.Logging(), tlOn);
  EXPECT_TRUE(DeviceFree());
  port.SetTraceName((scratch.Root() / "RIVU.TRC").string());
  port.SetOpen(false);  // before the second line goes away
}

}  // namespace
