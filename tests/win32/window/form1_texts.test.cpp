// The main window's texts as its controls hold them: the log after the
// commands and the task's lines, the Connect button's caption, and the error
// box a refused Connect shows. The buttons are pressed through the window's
// own procedure; another thread answers the port dialog and the error box.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/form1.h"
#include "app/win32/win32_platform.h"
#include "tests/win32/window/window_test.h"

namespace {

using namespace window_test;
using window_texts::Text;
using window_texts::Utf8;

constexpr int kConnect = 101, kReceive = 102;

class Win32Form1 : public ::testing::Test {
 protected:
  Win32Form1() {
    // The port takes the platform when it is made.
    SetSerialPlatform(&platform);
    form = std::make_unique<TForm1>();
    platform.SetOwner(form->Handle());
  }
  ~Win32Form1() override {
    form.reset();
    SetSerialPlatform(nullptr);
  }

  std::string Log() const { return Utf8(Text(window_texts::Child(form->Handle(), L"Edit"))); }
  std::string Caption() const { return Utf8(Text(GetDlgItem(form->Handle(), kConnect))); }

  // Presses a button; Port answers the port dialog ("" when none may open,
  // "cancel", or the entry to pick). The text of the error box that followed,
  // which is closed, or "" when none did.
  std::string Press(int Button, const std::string& Port) {
    std::string box;
    done_ = false;
    TWatchdog watchdog("a press of the window's button");
    std::thread answer([&] {
      if (!Port.empty()) AnswerPortDialog(Port);
      // Only a refusal opens a box; its wait is bounded by the press.
      while (!done_) {
        if (const HWND b = window_texts::TopLevel(L"#32770", L"TAVO Zedazi V1.30")) {
          box = Utf8(window_texts::MessageBoxText(b));
          PostMessageW(b, WM_COMMAND, IDOK, 0);
          return;
        }
        Sleep(20);
      }
    });
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(Button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(form->Handle(), Button)));
    done_ = true;
    answer.join();
    return box;
  }

  static void AnswerPortDialog(const std::string& Port) {
    const HWND dialog = AwaitWindow(L"", L"Select Port");
    ASSERT_NE(dialog, nullptr);
    if (Port == "cancel") {
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0);
      return;
    }
    const HWND combo = window_texts::Child(dialog, L"ComboBox");
    const std::wstring entry(Port.begin(), Port.end());
    ASSERT_NE(SendMessageW(combo, CB_SELECTSTRING, WPARAM(-1), LPARAM(entry.c_str())), CB_ERR);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), LPARAM(combo));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  }

  TWin32SerialPlatform platform;
  std::unique_ptr<TForm1> form;
  std::atomic<bool> done_{false};
};

TEST_F(Win32Form1, CommandsAndTaskLinesReadBackAsTheUserSeesThem) {
  struct TStep {
    int Button;  // 0: a line from the task
    std::string Port, Line;
    std::string Box, Log, Caption;
  };
  std::vector<TStep> steps = {
      {0, "", "Waiting for STB...", "", "Waiting for STB...", " Connect"},
      {0, "", "Data packet  000  ........... OK", "",
       "Waiting for STB...\r\nData packet  000  ........... OK", " Connect"},
      {kReceive, "", "", "", "Please, connect first", " Connect"},
      {0, "", "Größe", "", "Please, connect first\r\nGröße", " Connect"},
      {kConnect, "cancel", "", "The ComNumber property of the TRivuComPort has not been set.", "",
       " Connect"},
  };
  const char* echo = std::getenv("ZEDAZI_TEST_ECHO_COM");
  if (echo && *echo) {
    steps.push_back({kConnect, echo, "", "", "Port opened", " DisCnct"});
    steps.push_back({kConnect, "", "", "", "Port closed", " Connect"});
  }
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.Button ? std::to_string(step.Button) + " " + step.Port : step.Line);
    if (step.Button) {
      EXPECT_EQ(Press(step.Button, step.Port), step.Box);
    } else {
      form->AddLine(step.Line);
    }
    EXPECT_EQ(Log(), step.Log);
    EXPECT_EQ(Caption(), step.Caption);
  }
}

}  // namespace
