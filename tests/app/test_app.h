// Helpers of the widget tests; the application itself is made in test_main.cpp.
#pragma once

#include <QApplication>
#include <QRect>
#include <ostream>

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
