// Closing the com port when something goes wrong on the way: a user that
// throws, an open refused after some users heard of it, a close asked for
// from inside an event, a recorder that cannot be written.
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
std::function<void(TRivuCallbackType)> exThrows;

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
  if (exThrows) exThrows(type);
}
void Refuse(TRivuCallbackType) {
  throw std::runtime_error("refused");
}

class ComPortClose : public ComPortTest {
 protected:
  ComPortClose() {
    port.SetAutoOpen(false);
    Configure(port);
    port.SetComNumber(3);
  }
  ~ComPortClose() override {
    exThrows = nullptr;
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

// Whoever throws while the port closes, the close finishes: device let go,
// dispatcher and its threads gone, every user told, and the first exception
// raised afterwards.
TEST_F(ComPortClose, AUserThatThrowsDoesNotStopTheClose) {
  std::unique_ptr<TNotifyWindow> window;
  const std::vector<std::pair<const char*, std::function<void()>>> throwers = {
      {"extended callback closing",
       [] {
         exThrows = [](TRivuCallbackType t) {
           if (t == ctClosing) Refuse(t);
         };
       }},
      {"extended callback closed",
       [] {
         exThrows = [](TRivuCallbackType t) {
           if (t == ctClosed) Refuse(t);
         };
       }},
      {"user window",
       [&] {
         window = platform.CreateNotifyWindow([](uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
           if (msg == cwPortClosing) throw std::runtime_error("refused");
           return 0;
         });
         port.RegisterUserEx(window.get());
       }},
      {"OnPortClose",
       [&] {
         port.OnPortClose = [](TRivuCustomComPort&) { throw std::runtime_error("refused"); };
       }},
  };
  port.RegisterUserCallback(&PlainUser);
  port.RegisterUserCallbackEx(&ExUser);
  for (const auto& [name, arm] : throwers) {
    SCOPED_TRACE(name);
    port.SetOpen(true);
    const std::weak_ptr<TRivuBaseDispatcher> dispatcher = port.Dispatcher();
    arm();
    seen.clear();
    EXPECT_THROW(port.SetOpen(false), std::runtime_error);
    EXPECT_EQ(port.PortState(), psClosed);
    EXPECT_FALSE(port.Open());
    EXPECT_TRUE(dispatcher.expired());
    EXPECT_TRUE(DeviceFree());
    EXPECT_EQ(seen, (TSeen{"ex ctClosing S+", "ex ctClosed C-", "plain closed C-"}));

    exThrows = nullptr;
    port.OnPortClose = nullptr;
    if (window) port.DeregisterUser(window.get());
    port.SetOpen(true);
    EXPECT_EQ(port.PortState(), psOpen);
    port.SetOpen(false);
  }
}

// Users told of an open that is then undone hear that it closed again; the
// one that refused it, and those not yet told, hear nothing more.
TEST_F(ComPortClose, UsersToldOfAnUndoneOpenAreToldItClosed) {
  const struct {
    const char* Name;
    bool OnPortOpenRefuses;
    TSeen Seen;
  } cases[] = {
      {"OnPortOpen refuses",
       true,
       {"plain opening O+", "ex ctOpen O+", "ex ctClosing S+", "plain closed C-",
        "ex ctClosed C-"}},
      {"the first user registered refuses",
       false,
       {"plain opening O+", "ex ctOpen O+", "plain closed C-"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TRivuComPort p(nullptr, &platform);
    Configure(p);
    p.SetComNumber(3);
    p.RegisterUserCallbackEx(&ExUser);
    p.RegisterUserCallback(&PlainUser);
    if (c.OnPortOpenRefuses) {
      p.OnPortOpen = [](TRivuCustomComPort&) { throw std::runtime_error("refused"); };
    } else {
      exThrows = [](TRivuCallbackType t) {
        if (t == ctOpen) Refuse(t);
      };
    }
    seen.clear();
    EXPECT_THROW(p.SetOpen(true), std::runtime_error);
    EXPECT_EQ(p.PortState(), psClosed);
    EXPECT_EQ(seen, c.Seen);
    exThrows = nullptr;
  }
}

// A close asked for by an event handler takes back the output still queued at
// once, though the dispatcher itself can only be stopped once the handler
// returns. The far end holds the line with XOFF, so nothing leaves before.
TEST_F(ComPortClose, AClosingFromAnEventTakesBackTheOutputAtOnce) {
  Record(port);
  port.SetSWFlowOptions(swfTransmit);
  int32_t before = -1;
  bool flushed = false;
  port.SetOnTriggerData([&](TRivuCustomComPort& cp, uint16_t) {
    if (cp.PortState() != psOpen) return;
    const std::string block(8000, 'z');
    cp.PutBlock(block.data(), uint16_t(block.size()));
    before = recorded->OutputPending();
    cp.SetOpen(false);
    // The write thread lets go of a dropped block just after the flush.
    flushed = WaitUntil([&] { return recorded->OutputPending() == 0; }, 3s);
  });
  port.SetOpen(true);
  port.AddDataTrigger("x", false);
  pty.Write("\x13x", 2);
  ASSERT_TRUE(WaitUntil([&] {
    platform.ProcessPendingEvents();
    return port.PortState() == psClosed;
  }));
  EXPECT_EQ(before, 8000);
  EXPECT_TRUE(flushed);
}

// The open-after-close wish belongs to one close: asked for during a close
// that ends at once, it is gone when that close ends, and a later close from
// an event leaves the port closed.
TEST_F(ComPortClose, AnOpenAskedForDuringACloseDoesNotOutliveIt) {
  port.RegisterUserCallbackEx(&ExUser);
  exThrows = [this](TRivuCallbackType t) {
    if (t == ctClosing) port.SetOpen(true);
  };
  port.SetOpen(true);
  port.SetOpen(false);
  EXPECT_EQ(port.PortState(), psClosed);
  exThrows = nullptr;

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
// port opens on the new number with its recorders as they were, and the
// failure is raised afterwards.
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
