// A bitmap kept as the BMP file it was loaded from, so that saving it gives back
// exactly those bytes.
#pragma once

#include <QImage>
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

  bool Empty() const { return image_.isNull(); }
  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  const QImage& Image() const { return image_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  QImage image_;
};
