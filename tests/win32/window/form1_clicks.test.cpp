// The main window's buttons: every click is a command, however quick.
#include "app/win32/form1.h"
// After the API itself, which it builds on.
#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

LRESULT CALLBACK CountTexts(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT_PTR,
                            DWORD_PTR Count) {
  if (Msg == WM_SETTEXT) ++*reinterpret_cast<int*>(Count);
  return DefSubclassProc(Wnd, Msg, WParam, LParam);
}

TEST(Form1Clicks, AQuickSecondClickIsASecondCommand) {
  TForm1 form;
  HWND receive = FindWindowExW(form.Handle(), nullptr, L"BUTTON", L" Receive");
  HWND memo = FindWindowExW(form.Handle(), nullptr, L"EDIT", nullptr);
  ASSERT_TRUE(receive && memo);
  // Without a port, Receive clears the log and asks to connect first: two
  // texts a command.
  int texts = 0;
  SetWindowSubclass(memo, CountTexts, 1, reinterpret_cast<DWORD_PTR>(&texts));
  // What the system sends a button for two quick clicks.
  const LPARAM at = MAKELPARAM(10, 10);
  for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    SendMessageW(receive, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
  RemoveWindowSubclass(memo, CountTexts, 1);
  EXPECT_EQ(texts, 4);
  wchar_t text[64] = {};
  GetWindowTextW(memo, text, 64);
  EXPECT_STREQ(text, L"Please, connect first");
}

}  // namespace
