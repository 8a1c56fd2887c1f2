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
