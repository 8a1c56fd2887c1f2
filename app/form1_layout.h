// Where the main window's controls sit and what they say, the same on every
// toolkit. Rectangles are in client coordinates of the window, in pixels at
// 96 DPI (a window on a larger scale grows them): the title bar takes the top
// 50.
#pragma once

#include <string_view>

#include "app/application.h"

namespace Form1Layout {

struct TRect {
  int Left, Top, Width, Height;
};

inline constexpr int ClientWidth = 477;
inline constexpr int ClientHeight = 382;
// Where the window first shows, moved in only as far as a smaller screen needs.
inline constexpr int FirstLeft = 768;
inline constexpr int FirstTop = 222;
inline constexpr int TitleBarHeight = 50;
// The title bar: its four 28 x 28 buttons right to left (close, maximise,
// minimise, window menu), the icon and the title.
inline constexpr int TitleButtonSize = 28;
inline constexpr int TitleButtonTop = 16;
inline constexpr int TitleRightMargin = 10;
inline constexpr int TitleButtonGap = 4;
inline constexpr int TitleIconLeft = 10;
inline constexpr int TitleTextLeft = 48;
// The radio buttons' indicator and the gap to their captions.
inline constexpr int RadioIndicator = 14;
inline constexpr int RadioGap = 6;

inline constexpr TRect Banner{0, 50, 476, 53};
inline constexpr TRect RadioGroup{0, 104, 153, 108};
// The radio buttons, inside the group: left, and the top of each.
inline constexpr int RadioLeft = 8;
struct TRadio {
  const char* Caption;
  int Top;
};
inline constexpr TRadio Radios[] = {
    {"Channels", 12}, {"Logo", 36}, {"Data", 60}, {"NET Config", 84}};
inline constexpr TRect SpeedButton1{0, 216, 153, 48};
inline constexpr TRect SpeedButton2{0, 264, 153, 48};
inline constexpr TRect Memo1{155, 109, 321, 203};
inline constexpr TRect ProgressBar1{0, 318, 476, 27};
inline constexpr TRect URLLabel1{96, 344, 291, 37};

inline constexpr char ConnectCaption[] = " Connect";
inline constexpr char DisconnectCaption[] = " DisCnct";
inline constexpr char ReceiveCaption[] = " Receive";
// The link label shows the application's name and has no target, so a click
// opens nothing.
inline constexpr char LinkCaption[] = "TAVO Zedazi";
inline constexpr char LinkTarget[] = "";
static_assert(std::string_view(ApplicationTitle).starts_with(LinkCaption));

// Keeps a window of Width x Height at At, moved in only as far as needed to
// stay inside the screen's work area.
struct TPoint {
  int X, Y;
};
constexpr TPoint KeepInside(TPoint At, int Width, int Height, TRect Area) {
  auto clamp = [](int v, int lo, int hi) {
    return v > hi ? (hi < lo ? lo : hi) : (v < lo ? lo : v);
  };
  return {clamp(At.X, Area.Left, Area.Left + Area.Width - Width),
          clamp(At.Y, Area.Top, Area.Top + Area.Height - Height)};
}
constexpr TPoint FirstPosition(int Width, int Height, TRect Area) {
  return KeepInside({FirstLeft, FirstTop}, Width, Height, Area);
}

}  // namespace Form1Layout
