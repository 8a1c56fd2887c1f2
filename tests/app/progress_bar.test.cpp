#include "app/qt/skin/progress_bar.h"

#include <gtest/gtest.h>

#include <climits>

#include "app/qt/skin/theme.h"
#include "tests/app/test_app.h"

namespace {

struct Row {
  int position, min, max;
  const char* caption;
  int fill;  // of a fill area 200 pixels wide
};

// Nothing is clamped: positions outside the range show as they are.
const Row kRows[] = {
    {0, 0, 100, "0%", 0},  // the start state
    {1, 0, 3, "33%", 66},  // truncated, not rounded
    {2, 0, 3, "66%", 133},
    {100, 0, 100, "100%", 200},
    {150, 0, 100, "150%", 200},  // past the maximum: filled completely
    {5, 5, 5, "0%", 0},          // maximum equal to minimum
    {-20, 0, 100, "-20%", 0},    // before the range
    {-1, 0, 3, "-33%", 0},       // truncated toward zero
    {50, 0, 40, "125%", 200},    // maximum set below the position
    {7, 10, 0, "30%", 0},        // minimum above maximum
    {20, 10, 30, "50%", 100},
    {INT_MAX, INT_MIN, 0, "199%", 200},  // differences beyond int
    {0, INT_MIN, INT_MAX, "50%", 100},
};

TEST(ProgressFormulas, CaptionAndFillFollowTheRange) {
  for (const Row& r : kRows) {
    SCOPED_TRACE(::testing::Message() << r.position << " in " << r.min << ".." << r.max);
    EXPECT_EQ(QString::number(ProgressPercent(r.position, r.min, r.max)) + "%",
              QString::fromUtf8(r.caption));
    EXPECT_EQ(ProgressFillWidth(r.position, r.min, r.max, 200), r.fill);
  }
}

class ProgressBarWidget : public ::testing::Test {
 protected:
  void SetUp() override { bar.resize(476, 27); }
  TSkinProgressBar bar;
};

TEST_F(ProgressBarWidget, StartsAtZeroOfZeroToHundred) {
  EXPECT_EQ(bar.Min(), 0);
  EXPECT_EQ(bar.Max(), 100);
  EXPECT_EQ(bar.Position(), 0);
  EXPECT_EQ(bar.Caption(), "0%");
  EXPECT_EQ(bar.FillWidth(), 0);
}

TEST_F(ProgressBarWidget, StoresEveryValueUnclamped) {
  bar.SetPosition(60);
  bar.SetMax(40);
  EXPECT_EQ(bar.Position(), 60);
  EXPECT_EQ(bar.Max(), 40);
  EXPECT_EQ(bar.Caption(), "150%");
  bar.SetMin(80);  // minimum above both: stored as well
  EXPECT_EQ(bar.Min(), 80);
  EXPECT_EQ(bar.Caption(), "50%");
  EXPECT_EQ(bar.FillWidth(), 0);
  bar.SetPosition(-5);
  EXPECT_EQ(bar.Position(), -5);
}

TEST_F(ProgressBarWidget, StepByMovesThePositionAndSaturates) {
  bar.SetMax(3);
  bar.StepBy(1);
  EXPECT_EQ(bar.Caption(), "33%");
  bar.StepBy(-2);
  EXPECT_EQ(bar.Position(), -1);
  bar.SetPosition(INT_MAX - 1);
  bar.StepBy(5);
  EXPECT_EQ(bar.Position(), INT_MAX);
}

TEST_F(ProgressBarWidget, PastTheMaximumTheWholeBarIsFilled) {
  const int inner = bar.width() - 2 * TSkinTheme::kProgressInset;
  const QImage empty = bar.grab().toImage();
  bar.SetPosition(150);
  EXPECT_EQ(bar.FillWidth(), inner);
  const QImage full = bar.grab().toImage();
  // Near the right end, clear of the caption: the fill has replaced the track.
  const QPoint probe(bar.width() - TSkinTheme::kProgressInset - 3, bar.height() / 2);
  EXPECT_NE(full.pixel(probe), empty.pixel(probe));
  bar.SetPosition(50);
  EXPECT_EQ(bar.grab().toImage().pixel(probe), empty.pixel(probe));
}

}  // namespace
