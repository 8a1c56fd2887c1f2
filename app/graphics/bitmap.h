// A bitmap kept as the BMP file it was loaded from, so that saving it gives back
// exactly those bytes, with its pixels decoded for any front-end to draw.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "app/graphics/memory_stream.h"

// Raised when bytes do not hold a BMP file the bitmap can show.
class EInvalidGraphic : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Pixels from the top-left, row by row, each 0xAARRGGBB.
struct TPixels {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Argb;

  bool Empty() const { return Argb.empty(); }
  std::uint32_t At(int x, int y) const {
    return Argb[std::size_t(y) * std::size_t(Width) + std::size_t(x)];
  }
  bool operator==(const TPixels&) const = default;
};

// The pixels of an uncompressed BMP file of 1, 4, 8, 24 or 32 bits a pixel
// (32 bits: the fourth byte is not alpha, so every pixel is opaque), or of a
// 16 or 32 bit one with colour masks. Throws EInvalidGraphic on anything else.
TPixels DecodeBmp(std::span<const std::uint8_t> bmp);

class TBitmap {
 public:
  TBitmap() = default;
  explicit TBitmap(std::span<const std::uint8_t> bmp) { LoadFromBytes(bmp); }

  // Throws EInvalidGraphic and keeps the previous picture when the bytes are bad.
  void LoadFromBytes(std::span<const std::uint8_t> bmp);
  // Reads one BMP file starting at the stream's position (its length comes from
  // the file header) and leaves the position after it.
  void LoadFromStream(TMemoryStream& stream);
  // Writes the BMP file at the stream's position.
  void SaveToStream(TMemoryStream& stream) const;

  bool Empty() const { return pixels_.Empty(); }
  int Width() const { return pixels_.Width; }
  int Height() const { return pixels_.Height; }
  const TPixels& Pixels() const { return pixels_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  TPixels pixels_;
};
