#include "app/graphics/glyph_data.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>

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
  EXPECT_GT(qGreen(icon.Image().pixel(16, 28)), qRed(icon.Image().pixel(16, 28)) + 40);
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

}  // namespace
