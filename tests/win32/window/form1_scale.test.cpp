// The main window at the DPI the test runs at (tests/win32/scale_walk.sh runs
// it at four) and after moves to other scales: its size and its buttons'
// places grown by the scale, and each caption whole and clear of its glyph.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/win32/dpi.h"
#include "app/win32/form1.h"

namespace {

using namespace Form1Layout;

// The spans of the caption (the accent's teal) and of the glyph (red or blue)
// as the button draws itself.
struct TSpans {
  int TextLeft = 1 << 30, TextRight = -1, TextTop = 1 << 30, TextBottom = -1;
  int GlyphLeft = 1 << 30, GlyphRight = -1;
};
TSpans Drawn(HWND Button, const RECT& Client) {
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof bi.bmiHeader, Client.right, -Client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  SendMessageW(Button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  GdiFlush();
  TSpans s;
  const auto* px = static_cast<const std::uint32_t*>(bits);
  for (int y = 0; y < Client.bottom; ++y)
    for (int x = 0; x < Client.right; ++x) {
      const std::uint32_t c = px[y * Client.right + x];
      const int r = int(c >> 16 & 0xff), g = int(c >> 8 & 0xff), b = int(c & 0xff);
      if (g - r > 40 && std::abs(b - g) < 40 && g < 200) {
        s.TextLeft = std::min(s.TextLeft, x), s.TextRight = std::max(s.TextRight, x);
        s.TextTop = std::min(s.TextTop, y), s.TextBottom = std::max(s.TextBottom, y);
      } else if (r - std::max(g, b) > 60 || b - g > 50) {
        s.GlyphLeft = std::min(s.GlyphLeft, x), s.GlyphRight = std::max(s.GlyphRight, x);
      }
    }
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  return s;
}

void CheckAt(HWND Form, UINT Dpi) {
  RECT client;
  GetClientRect(Form, &client);
  EXPECT_EQ(client.right, ToPixels(ClientWidth, Dpi)) << Dpi << " DPI";
  EXPECT_EQ(client.bottom, ToPixels(ClientHeight, Dpi)) << Dpi << " DPI";
  for (const auto& [caption, place] :
       {std::pair{L" Connect", SpeedButton1}, {L" Receive", SpeedButton2}}) {
    HWND button = FindWindowExW(Form, nullptr, L"BUTTON", caption);
    RECT at, want = ToPixels(place, Dpi);
    GetWindowRect(button, &at);
    MapWindowPoints(HWND_DESKTOP, Form, reinterpret_cast<POINT*>(&at), 2);
    EXPECT_TRUE(EqualRect(&at, &want)) << Dpi << " DPI";
    GetClientRect(button, &at);
    const TSpans s = Drawn(button, at);
    const int edge = ToPixels(2, Dpi);  // the face's rounded border
    ASSERT_TRUE(s.TextLeft < s.TextRight && s.GlyphLeft < s.GlyphRight) << "not drawn at " << Dpi;
    EXPECT_GE(s.TextLeft, edge) << Dpi << " DPI";
    EXPECT_LT(s.TextRight, s.GlyphLeft) << "the caption runs into the glyph at " << Dpi << " DPI";
    EXPECT_LT(s.GlyphRight, at.right - edge) << Dpi << " DPI";
    EXPECT_TRUE(s.TextTop >= edge && s.TextBottom < at.bottom - edge) << Dpi << " DPI";
  }
}

// At its own DPI, then as the system moves it to monitors of other scales;
// maximised and restored there, it keeps that scale's size.
TEST(Form1Scale, TheWindowGrowsWithItsDpiAndFollowsAMove) {
  TForm1 form;
  HWND wnd = form.Handle();
  const UINT home = WindowDpi(wnd);
  CheckAt(wnd, home);
  for (UINT dpi : {120u, 192u, home}) {
    RECT suggested{40, 30, 40 + ToPixels(ClientWidth, dpi), 30 + ToPixels(ClientHeight, dpi)};
    SendMessageW(wnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    SendMessageW(wnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    SendMessageW(wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    RECT at;
    GetWindowRect(wnd, &at);
    EXPECT_TRUE(at.left == 40 && at.top == 30) << dpi << " DPI";
    CheckAt(wnd, dpi);
  }
}

}  // namespace
