// The rules of the window's controls that do not depend on a toolkit: the
// progress caption and fill, the buttons' caption-and-glyph layout and the
// error box's text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "download/content_type.h"

// The bar counts in int; a larger value shows as the nearest one it can hold.
constexpr int ToProgress(int64_t value) {
  return static_cast<int>(
      std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// trunc(100 * (position - min) / (max - min)), 0 when max equals min.
long long ProgressPercent(int position, int min, int max);
// Filled width out of `width`: 0 when min >= max or min >= position, all of it when
// position > max, else trunc((position - min) / (max - min) * width).
int ProgressFillWidth(int position, int min, int max, int width);

// Caption left, glyph right, spacing pixels apart (SpeedButtonSpacing at 96
// DPI), the group centred in the button; halves round toward zero.
inline constexpr int SpeedButtonSpacing = 4;
struct TButtonPlaces {
  int CaptionLeft, CaptionTop, GlyphLeft, GlyphTop;
};
constexpr TButtonPlaces PlaceCaptionAndGlyph(int buttonWidth, int buttonHeight, int captionWidth,
                                             int captionHeight, int glyphWidth, int glyphHeight,
                                             int spacing = SpeedButtonSpacing) {
  const int glyphLeft = (buttonWidth + captionWidth + spacing - glyphWidth) / 2;
  return {glyphLeft - captionWidth - spacing, (buttonHeight - captionHeight) / 2, glyphLeft,
          (buttonHeight - glyphHeight) / 2};
}

// The text the error box shows: the message, with a "." appended when it is
// not empty and its last character sorts after "." (UTF-8; any character
// beyond ASCII sorts after it).
std::string ErrorBoxText(std::string_view message);

// The content type the radio buttons choose: the checked one's, the buttons
// given in the layout's order (Form1Layout::Radios); none while none is checked.
std::optional<ContentType> CheckedContentType(std::span<const bool> Checked);
