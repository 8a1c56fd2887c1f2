// The colours of the built-in theme, shared by every front-end.
#pragma once

#include <cstdint>

struct TRgb {
  std::uint8_t R, G, B;
};

namespace SkinColours {
// The given colours of the controls' texts.
inline constexpr TRgb Accent{53, 119, 132};
inline constexpr TRgb LogText{0, 0, 255};
inline constexpr TRgb LinkText{0, 0, 255};
inline constexpr TRgb LinkHover{255, 0, 0};

inline constexpr TRgb AccentLight{95, 167, 181};
inline constexpr TRgb AccentDark{37, 96, 108};
inline constexpr TRgb Window{244, 248, 249};
inline constexpr TRgb Panel{255, 255, 255};
inline constexpr TRgb Line{201, 216, 220};
inline constexpr TRgb Muted{150, 166, 170};
inline constexpr TRgb Border{0, 0, 0};
}  // namespace SkinColours

// The controls' fonts: the first installed family of each list, at a
// character height in pixels.
struct TSkinFont {
  const char* const* Families;
  int Pixels;
  bool Bold, Underline;
};

namespace SkinFonts {
inline constexpr const char* Sans[] = {"Tahoma", "DejaVu Sans", "Liberation Sans", nullptr};
inline constexpr const char* Dialog[] = {"MS Sans Serif", "Microsoft Sans Serif", "DejaVu Sans",
                                         "Liberation Sans", nullptr};
inline constexpr const char* Mono[] = {"Courier New", "Liberation Mono", "DejaVu Sans Mono",
                                       nullptr};

inline constexpr TSkinFont Title{Sans, 11, true, false};
inline constexpr TSkinFont Group{Dialog, 11, false, false};
inline constexpr TSkinFont Button{Mono, 19, true, false};
inline constexpr TSkinFont Log{Mono, 13, true, false};
inline constexpr TSkinFont Link{Dialog, 32, true, true};
inline constexpr TSkinFont WindowText{Sans, 11, true, false};
}  // namespace SkinFonts
