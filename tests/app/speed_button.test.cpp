#include "app/qt/skin/speed_button.h"

#include <gtest/gtest.h>

#include "app/graphics/glyph.h"
#include "app/graphics/glyph_data.h"
#include "tests/app/test_app.h"

namespace {

TEST(SpeedButtonLayout, CentresCaptionAndGlyphAsOneGroup) {
  struct Row {
    QSize button, caption, glyph;
    QPoint captionAt, glyphAt;
  };
  const Row rows[] = {
      // A 153 x 48 button with a 48 x 48 glyph.
      {{153, 48}, {92, 22}, {48, 48}, {4, 13}, {100, 0}},
      {{153, 48}, {93, 23}, {48, 48}, {4, 12}, {101, 0}},
      // No caption: the glyph alone, shifted by half the spacing.
      {{153, 48}, {0, 22}, {48, 48}, {50, 13}, {54, 0}},
      // Group larger than the button: negative halves round toward zero.
      {{100, 20}, {150, 31}, {48, 49}, {-51, -5}, {103, -14}},
  };
  for (const Row& r : rows) {
    const TButtonLayout l = SpeedButtonLayout(r.button, r.caption, r.glyph);
    EXPECT_EQ(l.caption, r.captionAt) << r.caption.width();
    EXPECT_EQ(l.glyph, r.glyphAt) << r.caption.width();
  }
}

TPixels Checker(int w, int h, QRgb corner, QRgb other) {
  TPixels p{w, h, std::vector<std::uint32_t>(std::size_t(w * h), other)};
  p.Argb.front() = p.Argb.back() = corner;
  return p;
}

QImage GlyphImage(const TPixels& bitmap, bool enabled) {
  return ToQImage(GlyphPixels(bitmap, enabled));
}

TEST(GlyphImage, TopLeftColourIsTransparent) {
  const QImage g = GlyphImage(Checker(6, 6, qRgb(0, 0, 0), qRgb(10, 20, 30)), true);
  ASSERT_EQ(g.size(), QSize(6, 6));
  EXPECT_EQ(qAlpha(g.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(g.pixel(5, 5)), 0);  // same colour elsewhere: transparent too
  EXPECT_EQ(g.pixel(3, 3), qRgb(10, 20, 30));
}

TEST(GlyphImage, DoubleWidthHoldsNormalAndDisabledImages) {
  TPixels pair = Checker(8, 4, qRgb(0, 0, 255), qRgb(0, 0, 255));
  for (int y = 0; y < 4; ++y)
    for (int x = 4; x < 8; ++x) pair.Argb[std::size_t(y * 8 + x)] = qRgb(255, 0, 0);
  pair.Argb[0] = qRgb(1, 2, 3);
  const QImage normal = GlyphImage(pair, true);
  const QImage disabled = GlyphImage(pair, false);
  ASSERT_EQ(normal.size(), QSize(4, 4));
  ASSERT_EQ(disabled.size(), QSize(4, 4));
  EXPECT_EQ(normal.pixel(2, 2), qRgb(0, 0, 255));
  EXPECT_EQ(disabled.pixel(2, 2), qRgb(255, 0, 0));
  EXPECT_EQ(qAlpha(normal.pixel(0, 0)), 0);

  // A single image is greyed for the disabled look.
  const QImage grey = GlyphImage(Checker(4, 4, qRgb(0, 0, 0), qRgb(200, 0, 0)), false);
  EXPECT_EQ(qRed(grey.pixel(2, 2)), qBlue(grey.pixel(2, 2)));
}

class SpeedButtonWidget : public ::testing::Test {
 protected:
  void SetUp() override {
    button.resize(153, 48);
    button.SetCaption(" Connect");
    button.SetGlyph(TBitmap(SpeedButton1Glyph));
  }
  TSpeedButton button;
};

TEST_F(SpeedButtonWidget, LaysOutWithItsOwnFontAndGlyph) {
  EXPECT_EQ(button.GlyphSize(), QSize(48, 48));
  const QSize caption = button.CaptionSize();
  const TButtonLayout l = button.Layout();
  EXPECT_EQ(l.glyph.x(), (153 + caption.width() + 4 - 48) / 2);
  EXPECT_EQ(l.caption.x() + caption.width() + 4, l.glyph.x());
  EXPECT_GE(l.caption.x(), 0);  // the caption fits the button
}

TEST_F(SpeedButtonWidget, PressedDrawsOnePixelLowerAndRight) {
  const QImage up = button.grab().toImage();
  button.setDown(true);
  const QImage down = button.grab().toImage();
  const QPoint g = button.Layout().glyph;
  // Inside the glyph, where it is opaque: the picture moved by (1, 1).
  for (QPoint p : {QPoint(24, 41), QPoint(24, 16), QPoint(10, 24), QPoint(36, 30)})
    EXPECT_EQ(down.pixel(g + p + QPoint(1, 1)), up.pixel(g + p)) << p.x() << "," << p.y();
}

TEST_F(SpeedButtonWidget, CaptionChangeKeepsTheGlyph) {
  button.SetGlyph(TBitmap(ConnectedGlyph));
  button.SetCaption(" DisCnct");
  EXPECT_EQ(button.Caption(), " DisCnct");
  EXPECT_EQ(button.Glyph().Bytes()[200], ConnectedGlyph[200]);
  const QImage shot = button.grab().toImage();
  const QRgb below = shot.pixel(button.Layout().glyph + QPoint(24, 41));
  EXPECT_GT(qBlue(below), qRed(below) + 60);
}

}  // namespace
