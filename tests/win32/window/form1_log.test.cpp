// The main window's log: a new line keeps what the user selected, and shows.
#include <gtest/gtest.h>

#include <string>

#include "app/win32/form1.h"

TEST(Form1Log, ANewLineKeepsTheSelectionAndShows) {
  TForm1 form;
  HWND memo = FindWindowExW(form.Handle(), nullptr, L"EDIT", nullptr);
  ASSERT_TRUE(memo);
  for (int i = 0; i < 60; ++i) form.AddLine("line " + std::to_string(i));  // it scrolls
  constexpr int kEnd = -1;  // the end of the text before the new line
  const struct {
    int start, end;
    bool follows;  // a bare caret at the end moves to the new end
  } cases[] = {
      {5, 9, false}, {0, 0, false}, {10, kEnd, false}, {0, kEnd, false}, {kEnd, kEnd, true}};
  for (const auto& c : cases) {
    const DWORD old = DWORD(GetWindowTextLengthW(memo));
    const DWORD start = c.start == kEnd ? old : DWORD(c.start),
                end = c.end == kEnd ? old : DWORD(c.end);
    SendMessageW(memo, EM_SETSEL, start, end);
    form.AddLine("one more");
    const DWORD now = DWORD(GetWindowTextLengthW(memo));
    DWORD got[2] = {};
    SendMessageW(memo, EM_GETSEL, WPARAM(&got[0]), LPARAM(&got[1]));
    EXPECT_EQ(got[0], c.follows ? now : start) << c.start << ".." << c.end;
    EXPECT_EQ(got[1], c.follows ? now : end) << c.start << ".." << c.end;
    // The new line lies inside the visible area.
    const auto last =
        SendMessageW(memo, EM_LINEINDEX, SendMessageW(memo, EM_GETLINECOUNT, 0, 0) - 1, 0);
    const LRESULT pos = SendMessageW(memo, EM_POSFROMCHAR, WPARAM(last), 0);
    RECT client;
    GetClientRect(memo, &client);
    EXPECT_TRUE(pos != -1 && short(HIWORD(pos)) >= 0 && short(HIWORD(pos)) < client.bottom)
        << c.start << ".." << c.end;
  }
}
