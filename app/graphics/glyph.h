// How a button shows its glyph bitmap, whatever draws it.
#pragma once

#include "app/graphics/bitmap.h"

// The glyph as drawn: the colour of the top-left pixel becomes transparent
// (0x00000000), and a bitmap twice as wide as high yields its left half
// (normal) or right half (disabled). A disabled button with a single image
// shows it greyed.
TPixels GlyphPixels(const TPixels& bitmap, bool enabled);
