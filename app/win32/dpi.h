// The window's scale. Layout, fonts and pictures are made in 96-DPI units;
// the Win32 window turns them into pixels for the DPI of the monitor it is
// on, here and nowhere else.
#pragma once

#include "app/win32/windows_api.h"

inline constexpr UINT DesignDpi = 96;

// Units to pixels at Dpi, to the nearest pixel (halves away from zero).
constexpr int ToPixels(int Units, UINT Dpi) {
  const long long scaled = (long long)Units * Dpi;
  const long long half = DesignDpi / 2;
  return int(scaled >= 0 ? (scaled + half) / DesignDpi : -((-scaled + half) / DesignDpi));
}

// A layout rectangle (the window's or the port dialog's) in pixels, offset by
// Origin. The edges are scaled, not the sizes, so that rectangles that touch
// in units touch in pixels.
template <typename TLayoutRect>
RECT ToPixels(const TLayoutRect& R, UINT Dpi, POINT Origin = {0, 0}) {
  return {Origin.x + ToPixels(R.Left, Dpi), Origin.y + ToPixels(R.Top, Dpi),
          Origin.x + ToPixels(R.Left + R.Width, Dpi), Origin.y + ToPixels(R.Top + R.Height, Dpi)};
}

// The DPI the window is drawn at: GetDpiForWindow where the system has it,
// else the screen's LOGPIXELSX (one DPI for every monitor).
UINT WindowDpi(HWND Wnd);

// The window rectangle around a client area of Width x Height pixels, with the
// frame of the given DPI where the system can say it.
RECT FrameAround(int Width, int Height, DWORD Style, DWORD ExStyle, UINT Dpi);

// What WM_DPICHANGED carries: the new DPI and the rectangle Windows suggests.
struct TDpiChange {
  UINT Dpi;
  RECT Suggested;
};
TDpiChange ReadDpiChange(WPARAM WParam, LPARAM LParam);
