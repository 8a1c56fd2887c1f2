// The main window at the DPI the test runs at (tests/win32/scale_walk.sh runs
// it at four) and after moves to other scales: its size and its children's
// places grown by the scale, and each button's caption whole and clear of its
// glyph, as drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/form1_layout.h"
#include "app/win32/dpi.h"
#include "app/win32/form1.h"

namespace {

using namespace Form1Layout;

RECT PlaceIn(HWND Parent, HWND Child) {
  RECT r;
  GetWindowRect(Child, &r);
  MapWindowPoints(HWND_DESKTOP, Parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Same(const RECT& A, const RECT& B) {
  return A.left == B.left && A.top == B.top && A.right == B.right && A.bottom == B.bottom;
}

// The button as it draws itself, 0x00RRGGBB from the top-left.
std::vector<std::uint32_t> Drawn(HWND Button, int& Width, int& Height) {
  RECT r;
  GetClientRect(Button, &r);
  Width = r.right, Height = r.bottom;
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof bi.bmiHeader, Width, -Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  SendMessageW(Button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  GdiFlush();
  const auto* p = static_cast<const std::uint32_t*>(bits);
  std::vector<std::uint32_t> out(p, p + std::size_t(Width) * std::size_t(Height));
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  return out;
}

// The window's size, its buttons' places, and each button's caption whole
// and clear of its glyph, at Dpi.
void CheckAt(HWND Form, UINT Dpi) {
  RECT client;
  GetClientRect(Form, &client);
  EXPECT_EQ(client.right, ToPixels(ClientWidth, Dpi)) << Dpi << " DPI";
  EXPECT_EQ(client.bottom, ToPixels(ClientHeight, Dpi)) << Dpi << " DPI";
  const struct {
    const wchar_t* caption;
    TRect place;
  } buttons[] = {{L" Connect", SpeedButton1}, {L" Receive", SpeedButton2}};
  for (const auto& b : buttons) {
    HWND button = FindWindowExW(Form, nullptr, L"BUTTON", b.caption);
    ASSERT_TRUE(button);
    EXPECT_TRUE(Same(PlaceIn(Form, button), ToPixels(b.place, Dpi))) << Dpi << " DPI";

    // Columns of the caption (the accent's teal) and of the glyph (red or
    // blue); the caption ends before the glyph starts, both inside the face.
    int w = 0, h = 0;
    const std::vector<std::uint32_t> px = Drawn(button, w, h);
    int textLeft = w, textRight = -1, textTop = h, textBottom = -1, glyphLeft = w, glyphRight = -1;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint32_t c = px[std::size_t(y) * std::size_t(w) + std::size_t(x)];
        const int r = int(c >> 16 & 0xff), g = int(c >> 8 & 0xff), bl = int(c & 0xff);
        if (g - r > 40 && std::abs(bl - g) < 40 && g < 200) {
          textLeft = std::min(textLeft, x), textRight = std::max(textRight, x);
          textTop = std::min(textTop, y), textBottom = std::max(textBottom, y);
        } else if (r - std::max(g, bl) > 60 || bl - g > 50) {
          glyphLeft = std::min(glyphLeft, x), glyphRight = std::max(glyphRight, x);
        }
      }
    const int edge = ToPixels(2, Dpi);  // the face's rounded border
    ASSERT_LT(textLeft, textRight) << "no caption drawn at " << Dpi << " DPI";
    ASSERT_LT(glyphLeft, glyphRight) << "no glyph drawn at " << Dpi << " DPI";
    EXPECT_GE(textLeft, edge) << Dpi << " DPI";
    EXPECT_LT(textRight, glyphLeft) << "the caption runs into the glyph at " << Dpi << " DPI";
    EXPECT_LT(glyphRight, w - edge) << Dpi << " DPI";
    EXPECT_GE(textTop, edge) << Dpi << " DPI";
    EXPECT_LT(textBottom, h - edge) << Dpi << " DPI";
  }
}

TEST(Form1Scale, TheWindowGrowsWithItsDpi) {
  TForm1 form;
  CheckAt(form.Handle(), WindowDpi(form.Handle()));
}

// What the system sends when the window moves to a monitor of another scale;
// maximised and restored there, it keeps that scale's size.
TEST(Form1Scale, TheWindowFollowsAMoveToAnotherScale) {
  TForm1 form;
  HWND wnd = form.Handle();
  const UINT home = WindowDpi(wnd);
  for (UINT dpi : {120u, 192u, 144u, home}) {
    RECT suggested{40, 30, 40 + ToPixels(ClientWidth, dpi), 30 + ToPixels(ClientHeight, dpi)};
    SendMessageW(wnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT at;
    GetWindowRect(wnd, &at);
    EXPECT_EQ(at.left, 40) << dpi << " DPI";
    EXPECT_EQ(at.top, 30) << dpi << " DPI";
    CheckAt(wnd, dpi);
    SendMessageW(wnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    SendMessageW(wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    CheckAt(wnd, dpi);
  }
}

}  // namespace
