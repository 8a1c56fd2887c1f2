// The Win32 port dialog: its list holds the port numbers alone, the device
// line beneath says who holds a port, and the dialog grows with its DPI.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/win32/com_select_form.h"
#include "app/win32/dpi.h"
#include "app/win32/wide.h"

namespace {

// What the dialog showed, read while it is open.
struct TSeen {
  std::wstring Held;  // the number to select
  std::vector<std::string> Entries;
  std::string HeldDevice;
  RECT Client{};
  UINT Dpi = 0;
  bool Done = false;
} seen;

std::string Text(HWND Wnd) {
  wchar_t text[256] = {};
  GetWindowTextW(Wnd, text, 256);
  return std::string(text, text + wcslen(text));  // the texts here are ASCII
}

void CALLBACK Inspect(HWND, UINT, UINT_PTR Timer, DWORD) {
  HWND dialog = FindWindowW(L"TComSelectForm", L"Select Port");
  if (!dialog || seen.Done) return;
  seen.Done = true;
  KillTimer(nullptr, Timer);
  HWND combo = FindWindowExW(dialog, nullptr, L"COMBOBOX", nullptr);
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) {
    wchar_t entry[64] = {};
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
    seen.Entries.emplace_back(entry, entry + wcslen(entry));
  }
  const auto held = SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(seen.Held.c_str()));
  SendMessageW(combo, CB_SETCURSEL, WPARAM(held), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  // The device line is the static text that elides.
  for (HWND c = FindWindowExW(dialog, nullptr, L"STATIC", nullptr); c;
       c = FindWindowExW(dialog, c, L"STATIC", nullptr))
    if (GetWindowLongW(c, GWL_STYLE) & SS_ENDELLIPSIS) seen.HeldDevice = Text(c);
  GetClientRect(dialog, &seen.Client);
  seen.Dpi = WindowDpi(dialog);
  SendMessageW(FindWindowExW(dialog, nullptr, L"BUTTON", L"Cancel"), BM_CLICK, 0, 0);
}

TEST(ComSelect, EntriesAreNumbersAndTheHolderShowsOnTheDeviceLine) {
  TPortChoices choices;
  choices.Ports = {{3, "COM3", "\\\\.\\COM3", false},
                   {5, "COM5", "\\\\.\\COM5, held by another program", true},
                   {12, "COM12", "\\\\.\\COM12, held by boxsim.exe (pid 42)", true}};
  seen = {};
  seen.Held = L"COM5";
  TComSelectForm form(nullptr, choices);
  SetTimer(nullptr, 0, 50, Inspect);
  EXPECT_EQ(form.ShowModal(), TComSelectForm::mrAbort);
  ASSERT_TRUE(seen.Done);

  EXPECT_EQ(seen.Entries, (std::vector<std::string>{"COM3", "COM5", "COM12"}));
  EXPECT_EQ(seen.HeldDevice, "\\\\.\\COM5, held by another program");
  EXPECT_EQ(form.SelectedComNum(), 5);
  // The designed 220 x 131 at the dialog's own scale.
  EXPECT_EQ(seen.Client.right, ToPixels(220, seen.Dpi));
  EXPECT_EQ(seen.Client.bottom, ToPixels(131, seen.Dpi));
}

}  // namespace
