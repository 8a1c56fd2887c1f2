// The skin's pictures every front-end draws are what the theme's painter
// draws now (run zedazi-skin-pictures when the painter changes).
#include "app/graphics/skin_pictures.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "app/qt/skin/speed_button.h"
#include "app/qt/skin/theme.h"
#include "tests/app/test_app.h"

namespace {

QImage Painted(const QImage& image) {
  return image.convertToFormat(QImage::Format_ARGB32);
}

// The largest difference of any channel, alpha included, of two images of one size.
int WorstChannelDifference(const QImage& a, const QImage& b) {
  int worst = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      for (int shift : {0, 8, 16, 24})
        worst = std::max(worst, std::abs(int(a.pixel(x, y) >> shift & 0xff) -
                                         int(b.pixel(x, y) >> shift & 0xff)));
  return worst;
}

TEST(SkinPictures, AreWhatThePainterDraws) {
  struct Case {
    const char* name;
    const TSkinPicture& data;
    QImage painted;
  };
  std::vector<Case> cases = {
      {"title left", TitleLeftPicture, Painted(TSkinTheme::TitleLeft().toImage())},
      {"title middle", TitleMiddlePicture, Painted(TSkinTheme::TitleMiddle().toImage())},
      {"title right", TitleRightPicture, Painted(TSkinTheme::TitleRight().toImage())},
      {"banner", BannerPicture, Painted(TSkinTheme::Banner())},
  };
  const TTitleButtonKind kinds[] = {TTitleButtonKind::Menu, TTitleButtonKind::Close,
                                    TTitleButtonKind::Maximize, TTitleButtonKind::Restore,
                                    TTitleButtonKind::Minimize};
  const TSkinState states[] = {TSkinState::Normal, TSkinState::Hover, TSkinState::Pressed};
  for (int k = 0; k < tbCount; ++k)
    for (int s = 0; s < tsCount; ++s)
      cases.push_back({"title button", TitleButtonPictures[k][s],
                       Painted(TSkinTheme::TitleButton(kinds[k], states[s]).toImage())});
  // Within one level: the toolkit's blending rounds differently on some
  // processors (its vector paths), while a changed painter moves far more.
  for (const Case& c : cases) {
    const QImage stored = ToQImage(c.data.Pixels());
    ASSERT_EQ(stored.size(), c.painted.size()) << c.name;
    EXPECT_LE(WorstChannelDifference(stored, c.painted), 1)
        << c.name << ": run zedazi-skin-pictures app/graphics/skin_pictures_data.cpp";
  }
}

// The banner as another front-end stretches it stays within a few levels of
// what the toolkit's smooth scaling shows.
TEST(SkinPictures, BilinearStretchIsCloseToTheToolkits) {
  const TPixels banner = BannerPicture.Pixels();
  const QImage ours = ToQImage(ScaleBilinear(banner, 476, 53));
  QImage theirs(476, 53, QImage::Format_ARGB32);
  QPainter p(&theirs);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(theirs.rect(), ToQImage(banner));
  p.end();
  long long total = 0;
  int worst = 0;
  for (int y = 0; y < 53; ++y)
    for (int x = 0; x < 476; ++x)
      for (int shift : {0, 8, 16}) {
        const int d = std::abs(int(ours.pixel(x, y) >> shift & 0xff) -
                               int(theirs.pixel(x, y) >> shift & 0xff));
        total += d;
        worst = std::max(worst, d);
      }
  EXPECT_LT(double(total) / (476 * 53 * 3), 2.0);
  EXPECT_LE(worst, 48);
  // Scaling to its own size changes nothing.
  EXPECT_EQ(ScaleBilinear(banner, banner.Width, banner.Height), banner);
}

// A glyph grown for a larger scale keeps its colour up to its edge: the
// transparent pixels beside it (black, alpha 0) only thin it out.
TEST(SkinPictures, GrowingKeepsEdgeColoursOffTransparentPixels) {
  const TPixels glyph{2, 1, {0xff3577c4, 0x00000000}};
  const TPixels grown = ScaleBilinear(glyph, 4, 1);
  ASSERT_EQ(grown.Width, 4);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(grown.At(x, 0) & 0xffffff, 0x3577c4u) << x;
  EXPECT_EQ(grown.At(0, 0) >> 24, 0xffu);
  EXPECT_GT(grown.At(1, 0) >> 24, grown.At(2, 0) >> 24);
  EXPECT_EQ(grown.At(3, 0), 0u);
}

}  // namespace
