// The Win32 port dialog: its list holds the port numbers alone, the device
// line beneath says who holds a port, and the dialog grows with its DPI.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/win32/com_select_form.h"
#include "app/win32/dpi.h"
#include "app/win32/wide.h"
#include "serial/ports/port_dialog_layout.h"

namespace {

// What the dialog showed, read while it is open.
struct TSeen {
  std::wstring Held;  // the number to select
  std::vector<std::string> Entries;
  std::string HeldDevice;
  RECT Client{};
  UINT Dpi = 0;
  // After a move to a monitor at 200 %.
  RECT MovedClient{}, MovedList{};
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
  constexpr UINT moved = 192;
  RECT suggested =
      FrameAround(ToPixels(PortDialogLayout::ClientWidth, moved),
                  ToPixels(PortDialogLayout::ClientHeight, moved),
                  GetWindowLongW(dialog, GWL_STYLE), GetWindowLongW(dialog, GWL_EXSTYLE), moved);
  OffsetRect(&suggested, 10 - suggested.left, 10 - suggested.top);
  SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(moved, moved),
               reinterpret_cast<LPARAM>(&suggested));
  GetClientRect(dialog, &seen.MovedClient);
  GetWindowRect(combo, &seen.MovedList);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&seen.MovedList), 2);
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
  // The designed size at the dialog's own scale, and at the next monitor's.
  using namespace PortDialogLayout;
  EXPECT_EQ(seen.Client.right, ToPixels(ClientWidth, seen.Dpi));
  EXPECT_EQ(seen.Client.bottom, ToPixels(ClientHeight, seen.Dpi));
  EXPECT_EQ(seen.MovedClient.right, ToPixels(ClientWidth, 192));
  EXPECT_EQ(seen.MovedClient.bottom, ToPixels(ClientHeight, 192));
  const RECT list = ToPixels(PortsComboBox, 192);
  EXPECT_EQ(seen.MovedList.left, list.left);
  EXPECT_EQ(seen.MovedList.top, list.top);
  EXPECT_EQ(seen.MovedList.right, list.right);
}

}  // namespace
