#include "app/qt/skin/theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QFont TSkinTheme::Font(const QStringList& families, QFont::StyleHint hint, int pixels, bool bold,
                       bool underline) {
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(hint, QFont::PreferAntialias);
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setUnderline(underline);
  return font;
}

namespace {

QFont FontOf(const TSkinFont& f, QFont::StyleHint hint) {
  QStringList families;
  for (const char* const* name = f.Families; *name; ++name) families << QString::fromLatin1(*name);
  return TSkinTheme::Font(families, hint, f.Pixels, f.Bold, f.Underline);
}

}  // namespace

QFont TSkinTheme::TitleFont() {
  return FontOf(SkinFonts::Title, QFont::SansSerif);
}

QFont TSkinTheme::GroupFont() {
  return FontOf(SkinFonts::Group, QFont::SansSerif);
}

QFont TSkinTheme::ButtonFont() {
  return FontOf(SkinFonts::Button, QFont::Monospace);
}

QFont TSkinTheme::LogFont() {
  return FontOf(SkinFonts::Log, QFont::Monospace);
}

QFont TSkinTheme::LinkFont() {
  return FontOf(SkinFonts::Link, QFont::SansSerif);
}

QFont TSkinTheme::WindowFont() {
  return FontOf(SkinFonts::WindowText, QFont::SansSerif);
}

QString TSkinTheme::MemoStyleSheet() {
  return QStringLiteral(
      "QPlainTextEdit { background: #ffffff; border: 1px solid #c9d8dc; border-radius: 4px;"
      " padding: 2px; selection-background-color: #357784; selection-color: #ffffff; }"
      "QPlainTextEdit:focus { border: 1px solid #5fa7b5; }"
      "QScrollBar:vertical { background: #eef4f5; width: 12px; margin: 2px 2px 2px 0;"
      " border: none; border-radius: 4px; }"
      "QScrollBar::handle:vertical { background: #a9c3c9; min-height: 24px; border-radius: 4px; }"
      "QScrollBar::handle:vertical:hover { background: #5fa7b5; }"
      "QScrollBar::handle:vertical:pressed { background: #357784; }"
      "QScrollBar::handle:vertical:disabled { background: #e2ebed; }"
      "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
      "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }");
}

void TSkinTheme::PaintWindow(QPainter& p, const QRect& r) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, QColor(246, 250, 251));
  g.setColorAt(1, QColor(233, 241, 243));
  p.fillRect(r, g);
}

void TSkinTheme::PaintGroup(QPainter& p, const QRect& r) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Line());
  p.setBrush(Panel());
  p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
  p.restore();
}

void TSkinTheme::PaintButtonFace(QPainter& p, const QRect& r, TSkinState state, bool focused) {
  QColor top(255, 255, 255), bottom(231, 240, 242), border(190, 208, 213);
  switch (state) {
    case TSkinState::Hover:
      top = QColor(246, 252, 253), bottom = QColor(214, 234, 238), border = AccentLight();
      break;
    case TSkinState::Pressed:
      top = QColor(206, 227, 232), bottom = QColor(229, 240, 243), border = Accent();
      break;
    case TSkinState::Disabled:
      top = bottom = QColor(240, 243, 244), border = Line();
      break;
    case TSkinState::Normal:
      break;
  }
  if (focused && state == TSkinState::Normal) border = AccentLight();
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.setPen(border);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
  p.restore();
}

void TSkinTheme::PaintRadioIndicator(QPainter& p, const QRect& r, TSkinState state, bool checked) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF outer = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
  QColor ring = state == TSkinState::Hover || checked ? Accent() : QColor(150, 180, 187);
  if (state == TSkinState::Disabled) ring = Line();
  p.setPen(QPen(ring, checked ? 1.6 : 1.0));
  p.setBrush(state == TSkinState::Pressed ? QColor(214, 234, 238) : Panel());
  p.drawEllipse(outer);
  if (checked) {
    const qreal inset = r.width() * 0.28;
    p.setPen(Qt::NoPen);
    p.setBrush(state == TSkinState::Disabled ? Muted() : Accent());
    p.drawEllipse(outer.adjusted(inset, inset, -inset, -inset));
  }
  p.restore();
}

void TSkinTheme::PaintProgressTrack(QPainter& p, const QRect& r) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, QColor(229, 237, 239));
  g.setColorAt(1, QColor(250, 252, 252));
  p.setPen(QColor(184, 205, 210));
  p.setBrush(g);
  p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
  p.restore();
}

void TSkinTheme::PaintProgressFill(QPainter& p, const QRect& r) {
  if (r.width() <= 0) return;
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, QColor(126, 196, 208));
  g.setColorAt(0.5, AccentLight());
  g.setColorAt(1, Accent());
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  const qreal radius = std::min<qreal>(3.5, r.width() / 2.0);
  p.drawRoundedRect(QRectF(r), radius, radius);
  p.restore();
}

void TSkinTheme::PaintBorder(QPainter& p, const QRect& r) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::black);
  p.setBrush(Qt::NoBrush);
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.restore();
}
