// The Win32 port dialog: its list holds the port numbers alone, the device
// line beneath says who holds a port, and the dialog follows its DPI.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/win32/com_select_form.h"
#include "app/win32/dpi.h"
#include "serial/ports/port_dialog_layout.h"

namespace {

using namespace PortDialogLayout;
constexpr UINT kMoved = 192;  // the scale of the monitor it is moved to

// What the dialog showed, read while it is open.
struct TSeen {
  std::vector<std::wstring> Entries;
  wchar_t Device[256] = {};  // with COM5 selected
  RECT Client{}, MovedClient{}, MovedList{};
  UINT Dpi = 0;
} seen;

void CALLBACK Inspect(HWND, UINT, UINT_PTR Timer, DWORD) {
  HWND dialog = FindWindowW(L"TComSelectForm", L"Select Port");
  if (!dialog) return;
  KillTimer(nullptr, Timer);
  HWND combo = FindWindowExW(dialog, nullptr, L"COMBOBOX", nullptr);
  for (int i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
    wchar_t entry[64] = {};
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
    seen.Entries.emplace_back(entry);
  }
  SendMessageW(combo, CB_SETCURSEL, 1, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  // The device line is the static text that elides.
  for (HWND c = FindWindowExW(dialog, nullptr, L"STATIC", nullptr); c;
       c = FindWindowExW(dialog, c, L"STATIC", nullptr))
    if (GetWindowLongW(c, GWL_STYLE) & SS_ENDELLIPSIS) GetWindowTextW(c, seen.Device, 256);
  GetClientRect(dialog, &seen.Client);
  seen.Dpi = WindowDpi(dialog);
  // Moved to another monitor, with the frame the system suggests.
  RECT suggested =
      FrameAround(ToPixels(ClientWidth, kMoved), ToPixels(ClientHeight, kMoved),
                  GetWindowLongW(dialog, GWL_STYLE), GetWindowLongW(dialog, GWL_EXSTYLE), kMoved);
  SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(kMoved, kMoved),
               reinterpret_cast<LPARAM>(&suggested));
  GetClientRect(dialog, &seen.MovedClient);
  GetWindowRect(combo, &seen.MovedList);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&seen.MovedList), 2);
  SendMessageW(FindWindowExW(dialog, nullptr, L"BUTTON", L"Cancel"), BM_CLICK, 0, 0);
}

TEST(ComSelect, EntriesAreNumbersTheHolderShowsOnTheDeviceLineAndItGrows) {
  TPortChoices choices;
  choices.Ports = {{3, "COM3", "\\\\.\\COM3", false},
                   {5, "COM5", "\\\\.\\COM5, held by another program", true},
                   {12, "COM12", "\\\\.\\COM12, held by boxsim.exe (pid 42)", true}};
  TComSelectForm form(nullptr, choices);
  SetTimer(nullptr, 0, 50, Inspect);
  EXPECT_EQ(form.ShowModal(), TComSelectForm::mrAbort);

  EXPECT_EQ(seen.Entries, (std::vector<std::wstring>{L"COM3", L"COM5", L"COM12"}));
  EXPECT_STREQ(seen.Device, L"\\\\.\\COM5, held by another program");
  EXPECT_EQ(form.SelectedComNum(), 5);
  EXPECT_EQ(seen.Client.right, ToPixels(ClientWidth, seen.Dpi));
  EXPECT_EQ(seen.Client.bottom, ToPixels(ClientHeight, seen.Dpi));
  EXPECT_EQ(seen.MovedClient.right, ToPixels(ClientWidth, kMoved));
  EXPECT_EQ(seen.MovedClient.bottom, ToPixels(ClientHeight, kMoved));
  const RECT list = ToPixels(PortsComboBox, kMoved);
  EXPECT_TRUE(seen.MovedList.left == list.left && seen.MovedList.top == list.top &&
              seen.MovedList.right == list.right);
}

}  // namespace
