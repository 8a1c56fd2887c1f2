// Components registered with the com port to hear of its open and close.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "serial/component/com_port.h"
#include "serial/errors/exceptions.h"
#include "tests/serial/component/com_port_fixture.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;
using TSeen = std::vector<std::string>;

// What the users were told, with the port state at that moment (C closed,
// S shutting down, O open) and Open.
std::mutex seenMutex;
TSeen seen;

std::string StateOf(const TRivuCustomComPort& cp) {
  static const char* const kStates[] = {"C", "S", "O"};
  return std::string(kStates[cp.PortState()]) + (cp.Open() ? "+" : "-");
}
void Note(const std::string& who, const TRivuCustomComPort& cp) {
  std::lock_guard lock(seenMutex);
  seen.push_back(who + " " + StateOf(cp));
}
TSeen TakeSeen() {
  std::lock_guard lock(seenMutex);
  return std::exchange(seen, {});
}

const char* TypeName(TRivuCallbackType t) {
  return t == ctOpen ? "ctOpen" : t == ctClosing ? "ctClosing" : "ctClosed";
}
void PlainUser(TRivuCustomComPort* cp, bool opening) {
  Note(opening ? "plain opening" : "plain closed", *cp);
}
void OtherPlainUser(TRivuCustomComPort* cp, bool opening) {
  Note(opening ? "other opening" : "other closed", *cp);
}
std::function<void(TRivuCustomComPort*, TRivuCallbackType)> exHook;
void ExUser(TRivuCustomComPort* cp, TRivuCallbackType type) {
  Note(std::string("ex ") + TypeName(type), *cp);
  if (exHook) exHook(cp, type);
}

std::string MsgName(uint32_t msg) {
  return msg == cwPortOpened ? "opened" : msg == cwPortClosing ? "closing" : "closed";
}

class ComPortUsers : public ComPortTest {
 protected:
  ~ComPortUsers() override {
    exHook = nullptr;
    TakeSeen();
  }

  // A user window on this thread that notes what it gets.
  std::unique_ptr<TNotifyWindow> UserWindow(const std::string& name, TRivuComPort& port) {
    return platform.CreateNotifyWindow([name, &port](uint32_t msg, uintptr_t, intptr_t) {
      Note(name + " " + MsgName(msg), port);
      return intptr_t(0);
    });
  }
};

TEST_F(ComPortUsers, UsersAreToldLastToFirstAndPlainOnesSkipTheClosing) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  const auto plainWindow = UserWindow("w", port);
  const auto exWindow = UserWindow("wx", port);
  port.RegisterUser(plainWindow.get());
  port.RegisterUserCallback(&PlainUser);
  port.RegisterUserEx(exWindow.get());
  port.RegisterUserCallbackEx(&ExUser);
  port.OnPortOpen = [](TRivuCustomComPort& cp) { Note("OnPortOpen", cp); };
  port.OnPortClose = [](TRivuCustomComPort& cp) { Note("OnPortClose", cp); };

  port.SetOpen(true);
  EXPECT_EQ(TakeSeen(), (TSeen{"ex ctOpen O+", "wx opened O+", "plain opening O+", "w opened O+",
                               "OnPortOpen O+"}));
  port.SetOpen(false);
  EXPECT_EQ(TakeSeen(), (TSeen{"ex ctClosing S+", "wx closing S+", "ex ctClosed C-", "wx closed C-",
                               "plain closed C-", "w closed C-", "OnPortClose C-"}));

  // Deregistering removes every entry of that window or callback; a null
  // one matches nothing.
  port.RegisterUserCallback(&PlainUser);
  port.DeregisterUserCallback(&PlainUser);
  port.DeregisterUser(exWindow.get());
  port.DeregisterUser(nullptr);
  port.DeregisterUserCallback(nullptr);
  port.DeregisterUserCallbackEx(nullptr);
  port.SetOpen(true);
  EXPECT_EQ(TakeSeen(), (TSeen{"ex ctOpen O+", "w opened O+", "OnPortOpen O+"}));
  port.DeregisterUserCallbackEx(&ExUser);
  port.DeregisterUser(plainWindow.get());
  port.SetOpen(false);
  EXPECT_EQ(TakeSeen(), (TSeen{"OnPortClose C-"}));
}

// A user may register or deregister users while it is told; the change
// counts from the next open or close.
TEST_F(ComPortUsers, UsersMayChangeTheListWhileTheyAreTold) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  for (int i = 0; i < 3; ++i) port.RegisterUserCallback(&PlainUser);
  port.RegisterUserCallbackEx(&ExUser);
  exHook = [](TRivuCustomComPort* cp, TRivuCallbackType type) {
    if (type == ctOpen) {
      for (int i = 0; i < 16; ++i) cp->RegisterUserCallback(&OtherPlainUser);
    }
    if (type == ctClosed) cp->DeregisterUserCallback(&PlainUser);
  };
  port.SetOpen(true);
  EXPECT_EQ(TakeSeen(),
            (TSeen{"ex ctOpen O+", "plain opening O+", "plain opening O+", "plain opening O+"}));

  port.SetOpen(false);
  TSeen closing{"ex ctClosing S+"};
  closing.insert(closing.end(), 16, "other closed C-");
  closing.push_back("ex ctClosed C-");
  closing.insert(closing.end(), 3, "plain closed C-");
  EXPECT_EQ(TakeSeen(), closing);

  exHook = nullptr;
  port.SetOpen(true);
  TSeen opening(16, "other opening O+");
  opening.push_back("ex ctOpen O+");
  EXPECT_EQ(TakeSeen(), opening);
}

// A user that refuses the open by throwing leaves the port closed, the
// device free and the triggers kept for the next open.
TEST_F(ComPortUsers, AnOpenRefusedByAUserIsUndone) {
  const std::vector<std::pair<const char*, std::function<void(TRivuComPort&)>>> refusals = {
      {"OnPortOpen",
       [](TRivuComPort& port) {
         port.OnPortOpen = [](TRivuCustomComPort&) { throw std::runtime_error("refused"); };
       }},
      {"extended callback",
       [](TRivuComPort& port) {
         exHook = [](TRivuCustomComPort*, TRivuCallbackType type) {
           if (type == ctOpen) throw std::runtime_error("refused");
         };
         port.RegisterUserCallbackEx(&ExUser);
       }},
  };
  for (const auto& [name, refuse] : refusals) {
    SCOPED_TRACE(name);
    TRivuComPort port(nullptr, &platform);
    Configure(port);
    port.SetComNumber(3);
    port.SetAutoOpen(false);
    port.SetOpen(true);
    const uint16_t trigger = port.AddDataTrigger("OK", false);
    port.SetOpen(false);

    refuse(port);
    EXPECT_THROW(port.SetOpen(true), std::runtime_error);
    EXPECT_EQ(port.PortState(), psClosed);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.Dispatcher(), nullptr);
    {
      TRivuComPort other(nullptr, &platform);
      Configure(other);
      other.SetComNumber(3);
      EXPECT_NO_THROW(other.SetOpen(true));  // the device was let go
    }

    exHook = nullptr;
    port.OnPortOpen = nullptr;
    port.SetOpen(true);
    EXPECT_NO_THROW(port.RemoveTrigger(trigger));
    port.SetOpen(false);
    TakeSeen();
  }
}

// A user window on another thread: the thread runs its messages while it is
// not busy, and notes each with the port state it saw.
class TUserThread {
 public:
  TUserThread(TSerialPlatform& platform, TRivuComPort& port) : port_(port) {
    thread_ = std::thread([this, &platform] {
      window_ = platform.CreateNotifyWindow([this](uint32_t msg, uintptr_t, intptr_t) {
        Note("thread " + MsgName(msg), port_);
        return intptr_t(0);
      });
      ready_ = true;
      while (!stop_) {
        if (block_) {
          // Busy on the port itself: waits for data that never comes.
          blocked_ = true;
          port_.WaitForData(1, std::chrono::steady_clock::now() + 60s);
          block_ = false;
          blocked_ = false;
        }
        platform.ProcessPendingEvents();
        std::this_thread::sleep_for(1ms);
      }
      window_.reset();
    });
    WaitUntil([this] { return ready_.load(); });
  }
  ~TUserThread() {
    stop_ = true;
    thread_.join();
  }
  TNotifyWindow* Window() const { return window_.get(); }
  void BlockOnThePort() {
    block_ = true;
    WaitUntil([this] { return blocked_.load(); });
  }

 private:
  TRivuComPort& port_;
  std::unique_ptr<TNotifyWindow> window_;
  std::atomic<bool> ready_{false}, stop_{false}, block_{false}, blocked_{false};
  std::thread thread_;
};

TEST_F(ComPortUsers, AUserWindowOnAnotherThreadIsToldAndWaitedFor) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  port.SetUserWaitTimeout(60s);
  TUserThread user(platform, port);
  port.RegisterUserEx(user.Window());
  port.SetOpen(true);
  EXPECT_EQ(TakeSeen(), (TSeen{"thread opened O+"}));
  port.SetOpen(false);
  EXPECT_EQ(TakeSeen(), (TSeen{"thread closing S+", "thread closed C-"}));
  port.DeregisterUser(user.Window());
}

// The window's thread waits on the port: the close waits a bounded time,
// goes on, and the messages reach the window later, once each and in order.
TEST_F(ComPortUsers, AUserThreadBusyOnThePortDoesNotStallTheClose) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  port.SetUserWaitTimeout(60s);
  TUserThread user(platform, port);
  port.RegisterUserEx(user.Window());
  port.SetOpen(true);
  EXPECT_EQ(TakeSeen(), (TSeen{"thread opened O+"}));
  user.BlockOnThePort();
  port.SetUserWaitTimeout(20ms);
  const auto start = std::chrono::steady_clock::now();
  port.SetOpen(false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);  // not until the thread's wait ends
  EXPECT_EQ(port.PortState(), psClosed);
  ASSERT_TRUE(WaitUntil([] {
    std::lock_guard lock(seenMutex);
    return seen.size() >= 2;
  }));
  // When the thread got free depends on the machine; which messages it got
  // does not.
  TSeen late = TakeSeen();
  for (auto& entry : late) entry.resize(entry.rfind(' '));
  EXPECT_EQ(late, (TSeen{"thread closing", "thread closed"}));
  port.DeregisterUser(user.Window());
}

}  // namespace
