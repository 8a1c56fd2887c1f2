#include "app/win32/dpi.h"

namespace {

// Windows 10 1607 and later; looked up once, so that older systems start.
template <typename F>
F User32(const char* Name) {
  return reinterpret_cast<F>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), Name)));
}

using TGetDpiForWindow = UINT(WINAPI*)(HWND);
using TAdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

}  // namespace

UINT WindowDpi(HWND Wnd) {
  static const auto forWindow = User32<TGetDpiForWindow>("GetDpiForWindow");
  UINT dpi = forWindow && Wnd ? forWindow(Wnd) : 0;
  if (dpi == 0) {
    HDC dc = GetDC(nullptr);
    dpi = UINT(GetDeviceCaps(dc, LOGPIXELSX));
    ReleaseDC(nullptr, dc);
  }
  return dpi ? dpi : DesignDpi;
}

RECT FrameAround(int Width, int Height, DWORD Style, DWORD ExStyle, UINT Dpi) {
  static const auto forDpi = User32<TAdjustForDpi>("AdjustWindowRectExForDpi");
  RECT r{0, 0, Width, Height};
  if (!forDpi || !forDpi(&r, Style, FALSE, ExStyle, Dpi))
    AdjustWindowRectEx(&r, Style, FALSE, ExStyle);
  return r;
}

TDpiChange ReadDpiChange(WPARAM WParam, LPARAM LParam) {
  return {UINT(LOWORD(WParam)), *reinterpret_cast<const RECT*>(LParam)};
}
