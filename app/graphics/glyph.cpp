#include "app/graphics/glyph.h"

namespace {

// The usual weighting of red, green and blue into one grey level.
int Grey(std::uint32_t c) {
  const int r = int(c >> 16 & 0xff), g = int(c >> 8 & 0xff), b = int(c & 0xff);
  return (r * 11 + g * 16 + b * 5) / 32;
}

}  // namespace

TPixels GlyphPixels(const TPixels& bitmap, bool enabled) {
  if (bitmap.Empty()) return {};
  const bool pair = bitmap.Width == 2 * bitmap.Height;
  TPixels out;
  out.Width = pair ? bitmap.Height : bitmap.Width;
  out.Height = bitmap.Height;
  out.Argb.resize(std::size_t(out.Width) * std::size_t(out.Height));
  // Alpha of the file does not count: only the colour decides.
  const std::uint32_t transparent = bitmap.At(0, 0) | 0xff000000u;
  const int left = pair && !enabled ? bitmap.Height : 0;
  for (int y = 0; y < out.Height; ++y) {
    for (int x = 0; x < out.Width; ++x) {
      const std::uint32_t c = bitmap.At(left + x, y) | 0xff000000u;
      std::uint32_t& dst = out.Argb[std::size_t(y) * std::size_t(out.Width) + std::size_t(x)];
      if (c == transparent) {
        dst = 0;
      } else if (!enabled && !pair) {
        const auto grey = std::uint32_t(150 + Grey(c) / 3);
        dst = 0xff000000u | grey << 16 | grey << 8 | grey;
      } else {
        dst = c;
      }
    }
  }
  return out;
}
