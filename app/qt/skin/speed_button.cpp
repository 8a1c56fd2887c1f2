#include "app/qt/skin/speed_button.h"

#include <QEvent>
#include <QFocusEvent>
#include <QPainter>

#include "app/controls_logic.h"
#include "app/graphics/glyph.h"
#include "app/qt/skin/theme.h"

TButtonLayout SpeedButtonLayout(QSize button, QSize caption, QSize glyph) {
  const TButtonPlaces p = PlaceCaptionAndGlyph(button.width(), button.height(), caption.width(),
                                               caption.height(), glyph.width(), glyph.height());
  return {{p.CaptionLeft, p.CaptionTop}, {p.GlyphLeft, p.GlyphTop}};
}

QImage ToQImage(const TPixels& pixels) {
  if (pixels.Empty()) return {};
  // A deep copy: the image outlives the pixels it was made from.
  return QImage(reinterpret_cast<const uchar*>(pixels.Argb.data()), pixels.Width, pixels.Height,
                pixels.Width * 4, QImage::Format_ARGB32)
      .copy();
}

QImage GlyphImage(const TBitmap& bitmap, bool enabled) {
  return ToQImage(GlyphPixels(bitmap.Pixels(), enabled));
}

TSpeedButton::TSpeedButton(QWidget* parent) : QAbstractButton(parent) {
  setFont(TSkinTheme::ButtonFont());
  setAttribute(Qt::WA_Hover);
  setCursor(Qt::PointingHandCursor);
}

void TSpeedButton::SetCaption(const QString& caption) {
  setText(caption);
  // Read without the blanks that space the caption on the face.
  setAccessibleName(caption.trimmed());
  repaint();
}

void TSpeedButton::SetGlyph(const TBitmap& glyph) {
  glyph_ = glyph;
  GlyphChanged();
}

void TSpeedButton::GlyphChanged() {
  normal_ = GlyphImage(glyph_, true);
  disabled_ = GlyphImage(glyph_, false);
  repaint();
}

QSize TSpeedButton::GlyphSize() const {
  return normal_.size();
}

QSize TSpeedButton::CaptionSize() const {
  const QFontMetrics fm(font());
  return {fm.horizontalAdvance(text()), fm.height()};
}

QSize TSpeedButton::sizeHint() const {
  const QSize c = CaptionSize(), g = GlyphSize();
  return {c.width() + kSpacing + g.width() + 16, std::max(c.height(), g.height()) + 4};
}

void TSpeedButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) update();
  QAbstractButton::changeEvent(event);
}

void TSpeedButton::focusInEvent(QFocusEvent* event) {
  keyboardFocus_ = event->reason() == Qt::TabFocusReason ||
                   event->reason() == Qt::BacktabFocusReason ||
                   event->reason() == Qt::ShortcutFocusReason;
  QAbstractButton::focusInEvent(event);
}

void TSpeedButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const bool down = isDown();
  TSkinState state = TSkinState::Normal;
  if (!isEnabled())
    state = TSkinState::Disabled;
  else if (down)
    state = TSkinState::Pressed;
  else if (underMouse())
    state = TSkinState::Hover;
  TSkinTheme::PaintButtonFace(p, rect().adjusted(2, 1, -1, -1), state,
                              hasFocus() && keyboardFocus_);

  TButtonLayout l = Layout();
  if (down) {  // the pressed look: everything one pixel lower and to the right
    l.caption += QPoint(1, 1);
    l.glyph += QPoint(1, 1);
  }
  const QImage& glyph = isEnabled() ? normal_ : disabled_;
  if (!glyph.isNull()) p.drawImage(l.glyph, glyph);
  p.setFont(font());
  p.setPen(isEnabled() ? TSkinTheme::Accent() : TSkinTheme::Muted());
  const QSize c = CaptionSize();
  p.drawText(QRect(l.caption, c), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text());
}
