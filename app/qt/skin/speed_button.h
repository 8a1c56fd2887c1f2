// A push button with a caption and a bitmap glyph side by side, centred as a group.
#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QPoint>
#include <QSize>

#include "app/controls_logic.h"
#include "app/graphics/bitmap.h"

struct TButtonLayout {
  QPoint caption;  // top-left of the caption
  QPoint glyph;    // top-left of the glyph
};

// Caption left, glyph right, 4 pixels apart, the group centred; halves round
// toward zero.
TButtonLayout SpeedButtonLayout(QSize button, QSize caption, QSize glyph);

// Pixels as the toolkit's image, and a bitmap's glyph as drawn (GlyphPixels).
QImage ToQImage(const TPixels& pixels);
QImage GlyphImage(const TBitmap& bitmap, bool enabled);

class TSpeedButton : public QAbstractButton {
  Q_OBJECT
 public:
  static constexpr int kSpacing = SpeedButtonSpacing;

  explicit TSpeedButton(QWidget* parent = nullptr);

  QString Caption() const { return text(); }
  void SetCaption(const QString& caption);
  const TBitmap& Glyph() const { return glyph_; }
  TBitmap& Glyph() { return glyph_; }
  // Call after changing Glyph() in place (LoadFromStream); repaints.
  void GlyphChanged();
  void SetGlyph(const TBitmap& glyph);

  // Size of one glyph image and of the caption, as the layout uses them.
  QSize GlyphSize() const;
  QSize CaptionSize() const;
  TButtonLayout Layout() const { return SpeedButtonLayout(size(), CaptionSize(), GlyphSize()); }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  TBitmap glyph_;
  QImage normal_;  // cached drawable glyphs
  QImage disabled_;
  bool keyboardFocus_ = false;  // focus shown only when reached by keyboard
};
