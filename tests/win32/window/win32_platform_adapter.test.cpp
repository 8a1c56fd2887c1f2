// The serial component's platform on Win32: real "rvComWindow" windows, the
// pump a closing port runs, and the error box of a background failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/win32_platform.h"
#include "serial/component/com_port.h"
#include "tests/win32/window/window_test.h"

namespace {

using namespace window_test;
using window_texts::Utf8;

TEST(Win32SerialPlatform, NotificationsPostedElsewhereRunOnTheOwnerThreadInOrder) {
  TWin32SerialPlatform platform;
  std::vector<uint32_t> seen;
  bool elsewhere = false;
  const DWORD owner = GetCurrentThreadId();
  auto window = platform.CreateNotifyWindow([&](uint32_t Msg, uintptr_t W, intptr_t L) {
    elsewhere |= GetCurrentThreadId() != owner;
    seen.push_back(Msg - WM_USER);
    return intptr_t(W + L);
  });
  ASSERT_NE(FindWindowExW(HWND_MESSAGE, nullptr, ComWindowClass, nullptr), nullptr);

  std::thread([&] {
    for (uint32_t i = 0; i < 100; ++i) window->Post(WM_USER + i, 0, 0);
  }).join();
  EXPECT_TRUE(seen.empty());  // nothing runs until the owner's loop does
  platform.ProcessPendingEvents();
  ASSERT_EQ(seen.size(), 100u);
  for (uint32_t i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);

  // A send from elsewhere runs once the owner pumps, and brings its result.
  intptr_t result = 0;
  TTaskThread sender;
  auto sent = sender.Run([&] { return window->Send(WM_USER + 100, 2, 3, 20000, &result); });
  EXPECT_TRUE(sender.Get(sent));
  EXPECT_EQ(result, 5);
  EXPECT_EQ(seen.back(), 100u);
  EXPECT_FALSE(elsewhere);
}

// A close asked for inside a trigger event posts its next step again until
// the event returns: the pump runs what was queued when it began, once.
TEST(Win32SerialPlatform, ThePumpRunsOnlyWhatWasQueuedBeforeIt) {
  TWin32SerialPlatform platform;
  std::vector<std::string> ran;
  std::unique_ptr<TNotifyWindow> window;
  int reposts = 0;
  window = platform.CreateNotifyWindow([&](uint32_t Msg, uintptr_t, intptr_t) -> intptr_t {
    switch (Msg - WM_USER) {
      case 0:  // posts itself again, as the close's step does
        ran.push_back("again");
        if (++reposts < 1000) window->Post(Msg, 0, 0);
        break;
      case 1:  // a close inside a message: pumps in its turn
        ran.push_back("close");
        window->Post(WM_USER + 3, 0, 0);
        platform.ProcessPendingEvents();
        break;
      default:
        ran.push_back(std::to_string(Msg - WM_USER));
    }
    return 0;
  });
  // Not the port's: stays for the window's own loop.
  PostThreadMessageW(GetCurrentThreadId(), WM_APP + 7, 0, 0);

  const struct {
    std::vector<uint32_t> Posted;
    std::vector<std::string> Ran;
  } rows[] = {
      {{0}, {"again"}},
      {{}, {"again"}},  // the one posted by the last run
      {{2}, {"again", "2"}},
      // The nested pump runs what was posted meanwhile; this one stops at its
      // boundary, which the nested one has passed.
      {{1, 2}, {"again", "close", "2", "again", "3"}},
  };
  for (const auto& row : rows) {
    ran.clear();
    for (uint32_t m : row.Posted) window->Post(WM_USER + m, 0, 0);
    platform.ProcessPendingEvents();
    EXPECT_EQ(ran, row.Ran);
  }
  EXPECT_LT(reposts, 10);
  MSG m;
  EXPECT_TRUE(PeekMessageW(&m, nullptr, WM_APP + 7, WM_APP + 7, PM_REMOVE));
  window.reset();
  platform.ProcessPendingEvents();  // no window left: nothing to run
}

TEST(Win32SerialPlatform, BackgroundFailureShowsTheErrorBoxWithoutBlockingItsThread) {
  TWin32SerialPlatform platform;
  const std::pair<const char*, const char*> rows[] = {
      {"ie_Read - device read failure", "ie_Read - device read failure."},
      {"Stop!", "Stop!"},
      {"Fehler: Größe", "Fehler: Größe."},
  };
  for (const auto& [message, shown] : rows) {
    std::thread([&, message = message] { platform.ShowBackgroundError(message); }).join();
    const HWND box = AwaitDialog(L"TAVO Zedazi V1.30");
    ASSERT_NE(box, nullptr) << message;
    EXPECT_EQ(Utf8(window_texts::MessageBoxText(box)), shown);
    SendMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }));
  }
}

// The real path: a port on a line that echoes closes itself inside its own
// trigger event while this thread runs its messages.
TEST(Win32SerialPlatform, APortClosedInsideItsEventCloses) {
  const char* com = std::getenv("ZEDAZI_TEST_ECHO_COM");
  if (!com || std::string(com).rfind("COM", 0) != 0) GTEST_SKIP() << "no echo line";
  TWin32SerialPlatform platform;
  TRivuComPort port(nullptr, &platform);
  port.SetAutoOpen(false);
  port.SetComNumber(uint16_t(std::atoi(com + 3)));
  port.SetBaud(115200);
  int events = 0;
  port.SetOnTriggerAvail([&](TRivuCustomComPort& cp, uint16_t) {
    ++events;
    if (cp.PortState() == psOpen) cp.SetOpen(false);
  });
  port.SetOpen(true);
  TWatchdog watchdog("a close from inside a trigger event");
  ASSERT_EQ(port.PutBlock("x", 1), 0);
  EXPECT_TRUE(WaitFor([&] { return port.PortState() == psClosed; }));
  EXPECT_FALSE(port.Open());
  EXPECT_GE(events, 1);
}

}  // namespace
