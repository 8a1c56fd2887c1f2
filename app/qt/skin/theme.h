// The built-in skin theme: one light, teal-accented look shared by the frame, the
// title bar, the buttons, the radio group, the log area and the progress bar.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QStringList>

class QPainter;

enum class TSkinState { Normal, Hover, Pressed, Disabled };
enum class TTitleButtonKind { Menu, Close, Maximize, Restore, Minimize };

class TSkinTheme {
 public:
  // The given colours of the controls' texts.
  static constexpr QColor Accent() { return QColor(53, 119, 132); }
  static constexpr QColor LogText() { return QColor(0, 0, 255); }
  static constexpr QColor LinkText() { return QColor(0, 0, 255); }
  static constexpr QColor LinkHover() { return QColor(255, 0, 0); }

  static constexpr QColor AccentLight() { return QColor(95, 167, 181); }
  static constexpr QColor AccentDark() { return QColor(37, 96, 108); }
  static constexpr QColor Window() { return QColor(244, 248, 249); }
  static constexpr QColor Panel() { return QColor(255, 255, 255); }
  static constexpr QColor Line() { return QColor(201, 216, 220); }
  static constexpr QColor Muted() { return QColor(150, 166, 170); }

  // A font by pixel height; the first installed family of the list wins, then the
  // closest face of the hinted kind.
  static QFont Font(const QStringList& families, QFont::StyleHint hint, int pixels, bool bold,
                    bool underline = false);
  static QFont TitleFont();   // Tahoma bold 11 px
  static QFont GroupFont();   // MS Sans Serif 11 px
  static QFont ButtonFont();  // Courier New bold 19 px
  static QFont LogFont();     // Courier New bold 13 px
  static QFont LinkFont();    // MS Sans Serif bold underlined 32 px
  static QFont WindowFont();  // the window's own, for the progress caption

  // Style sheet of the log area and its scroll bar.
  static QString MemoStyleSheet();

  // Painting primitives, each filling exactly the given rectangle.
  static void PaintWindow(QPainter& p, const QRect& r);
  static void PaintGroup(QPainter& p, const QRect& r);
  static void PaintButtonFace(QPainter& p, const QRect& r, TSkinState state, bool focused);
  static void PaintRadioIndicator(QPainter& p, const QRect& r, TSkinState state, bool checked);
  static void PaintProgressTrack(QPainter& p, const QRect& r);
  static void PaintProgressFill(QPainter& p, const QRect& r);
  static void PaintBorder(QPainter& p, const QRect& r);

  // The pictures the title bar and the banner are built from, at their own sizes.
  static QPixmap TitleLeft();                                           // 323 x 50
  static QPixmap TitleMiddle();                                         // 58 x 50
  static QPixmap TitleRight();                                          // 159 x 50
  static QPixmap TitleButton(TTitleButtonKind kind, TSkinState state);  // 28 x 28
  static QImage Banner();                                               // 305 x 50

  // Inset of the progress fill inside the bar's frame.
  static constexpr int kProgressInset = 2;
};
