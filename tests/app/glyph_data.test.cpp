#include "app/graphics/glyph_data.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstdint>
#include <span>
#include <vector>

#include "app/graphics/bitmap.h"
#include "app/graphics/glyph_streams.h"
#include "app/graphics/memory_stream.h"
#include "tests/app/test_app.h"

namespace {

std::uint32_t Le(std::span<const std::uint8_t> d, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | d[at + i];
  return v;
}

struct Pixel {
  std::uint8_t b, g, r, a;
};

// (x, y) from the top-left; rows are stored bottom-up.
Pixel At(std::span<const std::uint8_t> d, int x, int y) {
  const std::size_t at = 54 + (std::size_t(47 - y) * 48 + x) * 4;
  return {d[at], d[at + 1], d[at + 2], d[at + 3]};
}

struct GlyphCase {
  const char* name;
  std::span<const std::uint8_t> data;
};

void PrintTo(const GlyphCase& c, std::ostream* os) {
  *os << c.name;
}

class GlyphFile : public ::testing::TestWithParam<GlyphCase> {};

TEST_P(GlyphFile, HeaderFieldsAreThoseOfA48x48TrueColourBmp) {
  const auto d = GetParam().data;
  ASSERT_EQ(d.size(), 9270u);
  EXPECT_EQ(d[0], 'B');
  EXPECT_EQ(d[1], 'M');
  struct Field {
    std::size_t offset;
    int bytes;
    std::uint32_t value;
  };
  const Field fields[] = {
      {2, 4, 9270}, {6, 2, 0},     {8, 2, 0},     {10, 4, 54}, {14, 4, 40},
      {18, 4, 48},  {22, 4, 48},   {26, 2, 1},    {28, 2, 32}, {30, 4, 0},
      {34, 4, 0},   {38, 4, 3780}, {42, 4, 3780}, {46, 4, 0},  {50, 4, 0},
  };
  for (const Field& f : fields)
    EXPECT_EQ(Le(d, f.offset, f.bytes), f.value) << "field at offset " << f.offset;
}

TEST_P(GlyphFile, BackgroundIsAllZeroAndPictureIsOpaque) {
  const auto d = GetParam().data;
  const Pixel corner = At(d, 0, 0);
  EXPECT_EQ(corner.b | corner.g | corner.r | corner.a, 0);
  int opaque = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) {
      const Pixel p = At(d, x, y);
      ASSERT_TRUE(p.a == 0 || p.a == 255) << x << "," << y;
      if (p.a == 0) {
        ASSERT_EQ(p.b | p.g | p.r, 0) << "background pixel " << x << "," << y;
      } else {
        // An all-zero colour inside would turn transparent on the button.
        ASSERT_NE(p.b | p.g | p.r, 0) << "picture pixel " << x << "," << y;
        ++opaque;
      }
    }
  EXPECT_GT(opaque, 1400);  // a round button of about 46 pixels across
  EXPECT_EQ(At(d, 24, 24).a, 255);
}

TEST_P(GlyphFile, DecodesAsA48x48Bitmap) {
  const TBitmap bmp(GetParam().data);
  EXPECT_EQ(bmp.Width(), 48);
  EXPECT_EQ(bmp.Height(), 48);
}

INSTANTIATE_TEST_SUITE_P(Glyphs, GlyphFile,
                         ::testing::Values(GlyphCase{"Connected", ConnectedGlyph},
                                           GlyphCase{"SpeedButton1", SpeedButton1Glyph},
                                           GlyphCase{"SpeedButton2", SpeedButton2Glyph}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GlyphColours, ConnectedIsBlueAndDesignTimeIsRed) {
  // Below the power symbol, inside the button.
  const Pixel blue = At(ConnectedGlyph, 24, 41);
  const Pixel red = At(SpeedButton1Glyph, 24, 41);
  EXPECT_GT(blue.b, blue.r + 60);
  EXPECT_GT(red.r, red.b + 60);
  // The symbol itself is white on both.
  for (auto d : {std::span<const std::uint8_t>(ConnectedGlyph),
                 std::span<const std::uint8_t>(SpeedButton1Glyph)}) {
    const Pixel stem = At(d, 24, 16);
    EXPECT_GT(std::min({stem.r, stem.g, stem.b}), 230);
  }
}

TEST(ApplicationIcon, Is32x32With256Colours) {
  EXPECT_EQ(Le(ApplicationIcon, 18, 4), 32u);
  EXPECT_EQ(Le(ApplicationIcon, 22, 4), 32u);
  EXPECT_EQ(Le(ApplicationIcon, 28, 2), 8u);
  const TBitmap icon(ApplicationIcon);
  EXPECT_EQ(icon.Width(), 32);
  const std::uint32_t c = icon.Pixels().At(16, 28);
  EXPECT_GT(int(c >> 8 & 0xff), int(c >> 16 & 0xff) + 40);  // green over red
}

TEST(GlyphStreams, StartEmpty) {
  EXPECT_EQ(ConnectedGlyphStream.Size(), 0u);
  EXPECT_EQ(ConnectedGlyphStream.Position(), 0u);
  EXPECT_EQ(SavedGlyphStream.Size(), 0u);
  EXPECT_EQ(SavedGlyphStream.Position(), 0u);
}

TEST(MemoryStream, WritesAtPositionAndGrows) {
  TMemoryStream s;
  s.Write("abcdef", 6);
  s.SetPosition(2);
  s.Write("XY", 2);
  EXPECT_EQ(s.Position(), 4u);
  s.SetPosition(8);
  s.Write("Z", 1);
  ASSERT_EQ(s.Size(), 9u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Data()), 9), std::string("abXYef\0\0Z", 9));
  char buf[8];
  s.SetPosition(7);
  EXPECT_EQ(s.Read(buf, sizeof buf), 2u);
  EXPECT_EQ(s.Read(buf, sizeof buf), 0u);
}

TEST(Bitmap, SavesAndLoadsThroughAStreamByteForByte) {
  TMemoryStream stream;
  TBitmap(SpeedButton1Glyph).SaveToStream(stream);
  TBitmap(ConnectedGlyph).SaveToStream(stream);
  EXPECT_EQ(stream.Size(), 2 * 9270u);
  stream.SetPosition(0);
  TBitmap first, second;
  first.LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), 9270u);
  second.LoadFromStream(stream);
  EXPECT_TRUE(std::equal(first.Bytes().begin(), first.Bytes().end(), SpeedButton1Glyph.begin(),
                         SpeedButton1Glyph.end()));
  EXPECT_TRUE(std::equal(second.Bytes().begin(), second.Bytes().end(), ConnectedGlyph.begin(),
                         ConnectedGlyph.end()));
}

TEST(Bitmap, RejectsBadStreamsAndKeepsItsPicture) {
  TBitmap bmp(SpeedButton2Glyph);
  auto truncated = [] {
    TMemoryStream s;
    s.Write(ConnectedGlyph.data(), 9000);
    return s;
  };
  auto garbage = [] {
    TMemoryStream s;
    s.Write("not a bitmap at all, just some text that is long enough", 56);
    return s;
  };
  auto bogusSize = [] {
    TMemoryStream s;
    std::array<std::uint8_t, 9270> copy = ConnectedGlyph;
    copy[5] = 0x7f;  // file size field far beyond the data
    s.Write(copy.data(), copy.size());
    return s;
  };
  for (TMemoryStream s : {truncated(), garbage(), bogusSize(), TMemoryStream()}) {
    s.SetPosition(0);
    EXPECT_THROW(bmp.LoadFromStream(s), EInvalidGraphic);
    EXPECT_EQ(s.Position(), 0u);
    EXPECT_EQ(bmp.Bytes().size(), 9270u);
    EXPECT_EQ(bmp.Bytes()[100], SpeedButton2Glyph[100]);
  }
}

// A BMP file of W x H at Bits a pixel; pixel (x, y) from the top-left is
// Value(x, y): a palette index up to 8 bits, else 0xRRGGBB.
std::vector<std::uint8_t> MakeBmp(int w, int h, int bits, bool topDown,
                                  std::uint32_t (*value)(int, int)) {
  const std::size_t colours = bits <= 8 ? std::size_t(1) << bits : 0;
  const std::size_t stride = (std::size_t(w) * bits + 31) / 32 * 4;
  const std::size_t offset = 54 + 4 * colours, size = offset + stride * std::size_t(h);
  std::vector<std::uint8_t> d(size);
  auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) d[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
  };
  d[0] = 'B', d[1] = 'M';
  put(2, std::uint32_t(size), 4), put(10, std::uint32_t(offset), 4), put(14, 40, 4);
  put(18, std::uint32_t(w), 4), put(22, std::uint32_t(topDown ? -h : h), 4);
  put(26, 1, 2), put(28, std::uint32_t(bits), 2);
  for (std::size_t i = 0; i < colours; ++i)
    put(54 + 4 * i, std::uint32_t(i * 0x3b1d07u) & 0xffffffu, 4);
  for (int y = 0; y < h; ++y) {
    const std::size_t row = offset + stride * std::size_t(topDown ? y : h - 1 - y);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t v = value(x, y);
      if (bits >= 24) {
        put(row + std::size_t(x) * std::size_t(bits / 8), v, 3);
      } else {
        const std::size_t bit = std::size_t(x) * std::size_t(bits);
        d[row + bit / 8] |= std::uint8_t(v << (8 - bits - int(bit % 8)));
      }
    }
  }
  return d;
}

// The decoder reads what the toolkit's own BMP reader reads, pixel for pixel:
// the built-in pictures and every depth, bottom-up and top-down.
TEST(DecodeBmp, ReadsWhatTheToolkitReads) {
  std::vector<std::pair<const char*, std::vector<std::uint8_t>>> files = {
      {"ConnectedGlyph", {ConnectedGlyph.begin(), ConnectedGlyph.end()}},
      {"ApplicationIcon", {ApplicationIcon.begin(), ApplicationIcon.end()}},
      {"1 bit", MakeBmp(
                    13, 5, 1, false, +[](int x, int y) { return std::uint32_t((x + y) & 1); })},
      {"4 bits",
       MakeBmp(
           7, 6, 4, false, +[](int x, int y) { return std::uint32_t(x * 7 + y * 3) & 15; })},
      {"8 bits",
       MakeBmp(
           5, 9, 8, true, +[](int x, int y) { return std::uint32_t(x * 7 + y * 3) & 255; })},
      {"24 bits", MakeBmp(
                      5, 3, 24, false,
                      +[](int x, int y) { return std::uint32_t(x * 0x10305 + y * 0x70b00); })},
      {"24 bits top-down",
       MakeBmp(
           6, 4, 24, true, +[](int x, int y) { return std::uint32_t(x * 0x10305 + y * 0x70b00); })},
  };
  for (const auto& [name, bmp] : files) {
    QImage expected;
    ASSERT_TRUE(expected.loadFromData(bmp.data(), int(bmp.size()), "BMP")) << name;
    const TPixels got = DecodeBmp(bmp);
    ASSERT_EQ(got.Width, expected.width()) << name;
    ASSERT_EQ(got.Height, expected.height()) << name;
    for (int y = 0; y < got.Height; ++y)
      for (int x = 0; x < got.Width; ++x)
        ASSERT_EQ(got.At(x, y), expected.pixel(x, y) | 0xff000000u)
            << name << " at " << x << "," << y;
  }
}

TEST(DecodeBmp, RefusesWhatItCannotShow) {
  const auto good = MakeBmp(
      4, 4, 24, false, +[](int, int) { return 0x123456u; });
  struct Bad {
    const char* why;
    std::size_t at;
    std::uint32_t value;
    int bytes;
  };
  const Bad bads[] = {
      {"no BM", 0, 'X', 1},
      {"zero width", 18, 0, 4},
      {"zero height", 22, 0, 4},
      {"two planes", 26, 2, 2},
      {"7 bits a pixel", 28, 7, 2},
      {"run-length coded", 30, 1, 4},
      {"rows beyond the data", 22, 5, 4},
      {"pixels beyond the file", 10, 0x7fffffff, 4},
      {"too large", 18, 1u << 24, 4},
      {"short header", 14, 12, 4},
  };
  for (const Bad& b : bads) {
    auto d = good;
    for (int i = 0; i < b.bytes; ++i) d[b.at + std::size_t(i)] = std::uint8_t(b.value >> (8 * i));
    EXPECT_THROW(DecodeBmp(d), EInvalidGraphic) << b.why;
  }
  EXPECT_THROW(DecodeBmp(std::span(good).first(53)), EInvalidGraphic) << "cut headers";
  EXPECT_NO_THROW(DecodeBmp(good));
}

}  // namespace
