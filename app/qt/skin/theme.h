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

#include "app/skin_colours.h"

class QPainter;

enum class TSkinState { Normal, Hover, Pressed, Disabled };
enum class TTitleButtonKind { Menu, Close, Maximize, Restore, Minimize };

class TSkinTheme {
 public:
  static constexpr QColor Of(TRgb c) { return QColor(c.R, c.G, c.B); }
  static constexpr QColor Accent() { return Of(SkinColours::Accent); }
  static constexpr QColor LogText() { return Of(SkinColours::LogText); }
  static constexpr QColor LinkText() { return Of(SkinColours::LinkText); }
  static constexpr QColor LinkHover() { return Of(SkinColours::LinkHover); }

  static constexpr QColor AccentLight() { return Of(SkinColours::AccentLight); }
  static constexpr QColor AccentDark() { return Of(SkinColours::AccentDark); }
  static constexpr QColor Window() { return Of(SkinColours::Window); }
  static constexpr QColor Panel() { return Of(SkinColours::Panel); }
  static constexpr QColor Line() { return Of(SkinColours::Line); }
  static constexpr QColor Muted() { return Of(SkinColours::Muted); }

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
