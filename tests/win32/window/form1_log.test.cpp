// The main window's log: a new line keeps what the user selected, and shows.
#include <gtest/gtest.h>

#include <string>

#include "app/win32/form1.h"

namespace {

struct TSel {
  DWORD Start, End;
  bool operator==(const TSel&) const = default;
};

TSel Selection(HWND Memo) {
  TSel s{};
  SendMessageW(Memo, EM_GETSEL, reinterpret_cast<WPARAM>(&s.Start),
               reinterpret_cast<LPARAM>(&s.End));
  return s;
}

DWORD Length(HWND Memo) {
  return DWORD(GetWindowTextLengthW(Memo));
}

// Whether the start of the last line lies inside the log's visible area.
bool LastLineShows(HWND Memo) {
  const auto lines = SendMessageW(Memo, EM_GETLINECOUNT, 0, 0);
  const auto start = SendMessageW(Memo, EM_LINEINDEX, WPARAM(lines - 1), 0);
  const LRESULT at = SendMessageW(Memo, EM_POSFROMCHAR, WPARAM(start), 0);
  RECT client;
  GetClientRect(Memo, &client);
  const int y = short(HIWORD(at));
  return at != -1 && y >= 0 && y < client.bottom;
}

TEST(Form1Log, ANewLineKeepsTheSelectionAndShows) {
  TForm1 form;
  HWND memo = FindWindowExW(form.Handle(), nullptr, L"EDIT", nullptr);
  ASSERT_TRUE(memo);
  // Enough lines that the log scrolls.
  for (int i = 0; i < 60; ++i) form.AddLine("line " + std::to_string(i));
  constexpr long kEnd = -1;  // the end of the text before the new line
  struct Case {
    const char* what;
    long start, end;
    bool follows;  // the caret moves to the new end
  };
  const Case cases[] = {
      {"a word near the top", 5, 9, false},     {"a caret at the start", 0, 0, false},
      {"up to the end", 10, kEnd, false},       {"all of it", 0, kEnd, false},
      {"a caret at the end", kEnd, kEnd, true},
  };
  for (const Case& c : cases) {
    const DWORD old = Length(memo);
    const TSel before{c.start == kEnd ? old : DWORD(c.start), c.end == kEnd ? old : DWORD(c.end)};
    SendMessageW(memo, EM_SETSEL, before.Start, before.End);
    form.AddLine("one more");
    const DWORD now = Length(memo);
    EXPECT_EQ(now, old + 10) << c.what;  // a line break and the line
    const TSel want = c.follows ? TSel{now, now} : before;
    const TSel got = Selection(memo);
    EXPECT_TRUE(got == want) << c.what << ": " << got.Start << ".." << got.End << ", not "
                             << want.Start << ".." << want.End;
    EXPECT_TRUE(LastLineShows(memo)) << c.what;
  }
}

}  // namespace
