#include "app/graphics/bitmap.h"

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kHeadersSize = 54;
// Larger than any glyph or icon ever needs; guards against a bogus size field.
constexpr std::uint32_t kMaxFileSize = 16u << 20;

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

}  // namespace

void TBitmap::LoadFromBytes(std::span<const std::uint8_t> bmp) {
  TPixels pixels = DecodeBmp(bmp);
  bytes_.assign(bmp.begin(), bmp.end());
  pixels_ = std::move(pixels);
}

void TBitmap::LoadFromStream(TMemoryStream& stream) {
  const std::size_t start = stream.Position();
  std::uint8_t header[kFileHeaderSize];
  if (stream.Read(header, sizeof header) != sizeof header) {
    stream.SetPosition(start);
    throw EInvalidGraphic("Bitmap image is not valid");
  }
  const std::uint32_t size = ReadLe32(header + 2);
  if (size < kHeadersSize || size > kMaxFileSize || stream.Size() - start < size) {
    stream.SetPosition(start);
    throw EInvalidGraphic("Bitmap image is not valid");
  }
  std::vector<std::uint8_t> bmp(size);
  std::copy(header, header + kFileHeaderSize, bmp.begin());
  stream.Read(bmp.data() + kFileHeaderSize, size - kFileHeaderSize);
  try {
    LoadFromBytes(bmp);
  } catch (...) {
    stream.SetPosition(start);
    throw;
  }
}

void TBitmap::SaveToStream(TMemoryStream& stream) const {
  stream.Write(bytes_.data(), bytes_.size());
}
