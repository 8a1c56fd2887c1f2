#include "app/qt/skin/title_bar.h"

#include <gtest/gtest.h>

#include <QMouseEvent>

#include "app/application.h"
#include "tests/app/test_app.h"

namespace {

class TitleBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bar.resize(477, TSkinTitleBar::kHeight);
    bar.show();  // a hidden widget gets its resize event only when shown
  }
  void DoubleClick(QPoint at) {
    QWidget* target = bar.childAt(at) ? bar.childAt(at) : &bar;
    const QPoint local = target->mapFrom(&bar, at);
    QMouseEvent e(QEvent::MouseButtonDblClick, local, target->mapToGlobal(local), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
  }
  TSkinTitleBar bar{QString::fromUtf8(ApplicationTitle)};
};

TEST_F(TitleBarTest, EachButtonAsksForItsWindowCommand) {
  int menu = 0, minimize = 0, maximize = 0, close = 0;
  QObject::connect(&bar, &TSkinTitleBar::MenuRequested, [&](QPoint) { ++menu; });
  QObject::connect(&bar, &TSkinTitleBar::MinimizeRequested, [&] { ++minimize; });
  QObject::connect(&bar, &TSkinTitleBar::MaximizeRequested, [&] { ++maximize; });
  QObject::connect(&bar, &TSkinTitleBar::CloseRequested, [&] { ++close; });
  bar.MenuButton()->click();
  bar.MinimizeButton()->click();
  bar.MaximizeButton()->click();
  bar.CloseButton()->click();
  EXPECT_EQ(std::tie(menu, minimize, maximize, close), std::make_tuple(1, 1, 1, 1));
  // Right to left along the top: close, maximise, minimise, menu; all inside the bar.
  EXPECT_GT(bar.CloseButton()->x(), bar.MaximizeButton()->x());
  EXPECT_GT(bar.MaximizeButton()->x(), bar.MinimizeButton()->x());
  EXPECT_GT(bar.MinimizeButton()->x(), bar.MenuButton()->x());
  EXPECT_LE(bar.CloseButton()->geometry().right(), bar.width() - 1);
}

TEST_F(TitleBarTest, DoubleClickOutsideTheButtonsActsAsMaximize) {
  int maximize = 0;
  QObject::connect(&bar, &TSkinTitleBar::MaximizeRequested, [&] { ++maximize; });
  DoubleClick(QPoint(200, 25));
  EXPECT_EQ(maximize, 1);
  DoubleClick(bar.CloseButton()->geometry().center());  // on a button: not the bar's
  EXPECT_EQ(maximize, 1);
}

TEST_F(TitleBarTest, MaximizeButtonTurnsIntoRestoreWhileMaximized) {
  bar.SetMaximized(true);
  EXPECT_EQ(bar.MaximizeButton()->Kind(), TTitleButtonKind::Restore);
  bar.SetMaximized(false);
  EXPECT_EQ(bar.MaximizeButton()->Kind(), TTitleButtonKind::Maximize);
}

}  // namespace
