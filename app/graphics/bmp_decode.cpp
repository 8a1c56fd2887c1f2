// Reading the pixels of a BMP file, without any toolkit.
#include <bit>
#include <cstddef>
#include <limits>

#include "app/graphics/bitmap.h"

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
// Larger than any glyph, icon or skin picture; guards against bogus dimensions.
constexpr std::int64_t kMaxPixels = 4096 * 4096;

[[noreturn]] void Invalid() {
  throw EInvalidGraphic("Bitmap image is not valid");
}

std::uint32_t Le(std::span<const std::uint8_t> d, std::size_t at, int bytes) {
  if (at + std::size_t(bytes) > d.size()) Invalid();
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | d[at + std::size_t(i)];
  return v;
}

// A colour mask's channel scaled to 8 bits.
std::uint32_t Channel(std::uint32_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const std::uint32_t v = (value & mask) >> shift;
  const std::uint32_t max = bits >= 32 ? 0xffffffffu : (1u << bits) - 1;
  return max == 0 ? 0 : (v * 255 + max / 2) / max;
}

}  // namespace

TPixels DecodeBmp(std::span<const std::uint8_t> d) {
  if (d.size() < kFileHeaderSize + kInfoHeaderSize || d[0] != 'B' || d[1] != 'M') Invalid();
  const std::uint32_t offset = Le(d, 10, 4);
  const std::uint32_t header = Le(d, 14, 4);
  const auto width = static_cast<std::int32_t>(Le(d, 18, 4));
  const auto rawHeight = static_cast<std::int32_t>(Le(d, 22, 4));
  const std::uint32_t planes = Le(d, 26, 2);
  const std::uint32_t bits = Le(d, 28, 2);
  const std::uint32_t compression = Le(d, 30, 4);
  std::uint32_t colours = Le(d, 46, 4);
  if (header < kInfoHeaderSize || planes != 1 || width <= 0 || rawHeight == 0 ||
      rawHeight == std::numeric_limits<std::int32_t>::min())
    Invalid();
  const bool topDown = rawHeight < 0;
  const std::int32_t height = topDown ? -rawHeight : rawHeight;
  if (std::int64_t{width} * height > kMaxPixels) Invalid();

  std::uint32_t masks[3] = {0x00ff0000u, 0x0000ff00u, 0x000000ffu};
  if (compression == kBiBitfields && (bits == 16 || bits == 32)) {
    // The masks follow a 40-byte header, or sit inside a longer one.
    for (int i = 0; i < 3; ++i)
      masks[i] = Le(d, kFileHeaderSize + kInfoHeaderSize + 4 * std::size_t(i), 4);
  } else if (compression != kBiRgb ||
             !(bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32)) {
    Invalid();
  }

  std::vector<std::uint32_t> palette;
  if (bits <= 8) {
    const std::uint32_t most = 1u << bits;
    if (colours == 0 || colours > most) colours = most;
    const std::size_t at = kFileHeaderSize + header;
    for (std::uint32_t i = 0; i < colours; ++i) {
      const std::size_t p = at + 4 * std::size_t(i);
      palette.push_back(0xff000000u | Le(d, p + 2, 1) << 16 | Le(d, p + 1, 1) << 8 | Le(d, p, 1));
    }
  }

  const std::size_t stride = (std::size_t(width) * bits + 31) / 32 * 4;
  if (offset > d.size() || stride * std::size_t(height) > d.size() - offset) Invalid();

  TPixels out;
  out.Width = width;
  out.Height = height;
  out.Argb.resize(std::size_t(width) * std::size_t(height));
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* row =
        d.data() + offset + stride * std::size_t(topDown ? y : height - 1 - y);
    std::uint32_t* dst = out.Argb.data() + std::size_t(y) * std::size_t(width);
    for (std::int32_t x = 0; x < width; ++x) {
      std::uint32_t argb = 0;
      if (bits <= 8) {
        const std::size_t bit = std::size_t(x) * bits;
        const std::uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        // An index beyond the palette shows black, as the system's own reader does.
        argb = index < palette.size() ? palette[index] : 0xff000000u;
      } else if (bits == 24) {
        const std::uint8_t* p = row + 3 * std::size_t(x);
        argb = 0xff000000u | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
      } else {
        const std::size_t bytes = bits / 8;
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < bytes; ++i)
          v |= std::uint32_t{row[bytes * std::size_t(x) + i]} << (8 * i);
        argb = 0xff000000u | Channel(v, masks[0]) << 16 | Channel(v, masks[1]) << 8 |
               Channel(v, masks[2]);
      }
      dst[x] = argb;
    }
  }
  return out;
}
