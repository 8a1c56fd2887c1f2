#include "app/skin/speed_button.h"

#include <QEvent>
#include <QFocusEvent>
#include <QPainter>

#include "app/skin/theme.h"

TButtonLayout SpeedButtonLayout(QSize button, QSize caption, QSize glyph) {
  constexpr int s = TSpeedButton::kSpacing;
  TButtonLayout l;
  l.glyph.setX((button.width() + caption.width() + s - glyph.width()) / 2);
  l.caption.setX(l.glyph.x() - caption.width() - s);
  l.glyph.setY((button.height() - glyph.height()) / 2);
  l.caption.setY((button.height() - caption.height()) / 2);
  return l;
}

QImage GlyphImage(const QImage& bitmap, bool enabled) {
  if (bitmap.isNull()) return {};
  QImage img = bitmap.convertToFormat(QImage::Format_ARGB32);
  const QRgb transparent = img.pixel(0, 0) | 0xff000000u;
  const bool pair = img.width() == 2 * img.height();
  if (pair) img = img.copy(enabled ? 0 : img.height(), 0, img.height(), img.height());
  for (int y = 0; y < img.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      // Alpha of the file does not count: only the colour decides.
      const QRgb c = line[x] | 0xff000000u;
      if (c == transparent) {
        line[x] = 0;
      } else if (!enabled && !pair) {
        const int grey = 150 + qGray(c) / 3;
        line[x] = qRgba(grey, grey, grey, 255);
      } else {
        line[x] = c;
      }
    }
  }
  return img;
}

TSpeedButton::TSpeedButton(QWidget* parent) : QAbstractButton(parent) {
  setFont(TSkinTheme::ButtonFont());
  setAttribute(Qt::WA_Hover);
  setCursor(Qt::PointingHandCursor);
}

void TSpeedButton::SetCaption(const QString& caption) {
  setText(caption);
  repaint();
}

void TSpeedButton::SetGlyph(const TBitmap& glyph) {
  glyph_ = glyph;
  GlyphChanged();
}

void TSpeedButton::GlyphChanged() {
  normal_ = GlyphImage(glyph_.Image(), true);
  disabled_ = GlyphImage(glyph_.Image(), false);
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
