// The main of the widget tests: the application lives on main's stack, so it is
// gone before static objects are destroyed, and the platform is the offscreen one,
// so the tests need no display and render the same everywhere. It replaces
// gtest_main (an object file wins over the archive's main).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Tests close windows without ending the application.
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
