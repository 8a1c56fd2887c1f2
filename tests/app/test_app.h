// One QApplication per test program, on the offscreen platform so that widget
// tests need no display and render the same everywhere.
#pragma once

#include <QApplication>
#include <QRect>
#include <ostream>

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "app_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication instance(argc, argv);
    return &instance;
  }();
  return *app;
}

// A fixture member declared before any widget member: makes sure the application
// exists before the widgets are built.
struct TestAppReady {
  TestAppReady() { TestApp(); }
};

// Readable failure messages for geometry.
inline void PrintTo(const QPoint& p, std::ostream* os) {
  *os << "(" << p.x() << ", " << p.y() << ")";
}
inline void PrintTo(const QSize& s, std::ostream* os) {
  *os << s.width() << " x " << s.height();
}
inline void PrintTo(const QRect& r, std::ostream* os) {
  *os << "(" << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height() << ")";
}
