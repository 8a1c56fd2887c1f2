// The pictures of the theme: title bar sections, title bar buttons, banner.
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

#include "app/qt/skin/theme.h"

namespace {

constexpr int kTitleHeight = 50;

QPixmap TitleSection(int width) {
  QPixmap pm(width, kTitleHeight);
  QPainter p(&pm);
  QLinearGradient g(0, 0, 0, kTitleHeight);
  g.setColorAt(0, QColor(255, 255, 255));
  g.setColorAt(1, QColor(224, 236, 239));
  p.fillRect(pm.rect(), g);
  p.fillRect(0, 0, width, 3, TSkinTheme::Accent());
  p.fillRect(0, 3, width, 1, TSkinTheme::AccentLight());
  p.fillRect(0, kTitleHeight - 1, width, 1, QColor(191, 210, 215));
  return pm;
}

// Draws the symbol of a title bar button centred in a 28 x 28 square.
void TitleSymbol(QPainter& p, TTitleButtonKind kind, const QColor& color) {
  p.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  switch (kind) {
    case TTitleButtonKind::Menu:
      for (qreal y : {9.5, 14.0, 18.5}) p.drawLine(QPointF(8.5, y), QPointF(19.5, y));
      break;
    case TTitleButtonKind::Close:
      p.drawLine(QPointF(9, 9), QPointF(19, 19));
      p.drawLine(QPointF(19, 9), QPointF(9, 19));
      break;
    case TTitleButtonKind::Maximize:
      p.drawRoundedRect(QRectF(8.5, 8.5, 11, 11), 1.5, 1.5);
      break;
    case TTitleButtonKind::Restore:
      p.drawRoundedRect(QRectF(8.5, 11.5, 8, 8), 1.5, 1.5);
      p.drawPolyline(QPolygonF({QPointF(11.5, 8.5), QPointF(19.5, 8.5), QPointF(19.5, 16.5)}));
      break;
    case TTitleButtonKind::Minimize:
      p.drawLine(QPointF(9, 18.5), QPointF(19, 18.5));
      break;
  }
}

}  // namespace

QPixmap TSkinTheme::TitleLeft() {
  QPixmap pm = TitleSection(323);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // A soft wash of the accent behind icon and title, fading out well before the
  // right edge so the sections join without a seam.
  QRadialGradient glow(QPointF(40, 44), 150);
  QColor a = Accent();
  a.setAlpha(38);
  glow.setColorAt(0, a);
  a.setAlpha(0);
  glow.setColorAt(1, a);
  p.fillRect(QRect(0, 4, 300, kTitleHeight - 5), glow);
  return pm;
}

QPixmap TSkinTheme::TitleMiddle() {
  return TitleSection(58);
}

QPixmap TSkinTheme::TitleRight() {
  QPixmap pm = TitleSection(159);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // A tray behind the four buttons.
  p.setPen(QColor(210, 224, 228));
  p.setBrush(QColor(255, 255, 255, 150));
  p.drawRoundedRect(QRectF(20.5, 13.5, 133, 33), 8, 8);
  return pm;
}

QPixmap TSkinTheme::TitleButton(TTitleButtonKind kind, TSkinState state) {
  QPixmap pm(28, 28);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const bool close = kind == TTitleButtonKind::Close;
  QColor fill = Qt::transparent, symbol = Accent();
  if (state == TSkinState::Hover) {
    fill = close ? QColor(217, 68, 63) : QColor(213, 233, 238);
    symbol = close ? QColor(255, 255, 255) : AccentDark();
  } else if (state == TSkinState::Pressed) {
    fill = close ? QColor(176, 46, 42) : Accent();
    symbol = QColor(255, 255, 255);
  } else if (state == TSkinState::Disabled) {
    symbol = Muted();
  }
  if (fill.alpha() != 0) {
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1, 1, 26, 26), 6, 6);
  }
  TitleSymbol(p, kind, symbol);
  return pm;
}

QImage TSkinTheme::Banner() {
  constexpr int kW = 305, kH = 50;
  QImage img(kW, kH, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient bg(0, 0, kW, kH);
  bg.setColorAt(0, QColor(24, 74, 86));
  bg.setColorAt(0.55, QColor(47, 121, 135));
  bg.setColorAt(1, QColor(104, 178, 191));
  p.fillRect(img.rect(), bg);

  // Drawn for the panel it is stretched into (476 x 53), so shapes stay round.
  p.scale(kW / 476.0, kH / 53.0);

  // Signal waves running across.
  for (int i = 0; i < 4; ++i) {
    QPainterPath wave;
    const qreal amp = 5 + 2.5 * i, base = 16 + 7 * i, phase = i * 0.9;
    wave.moveTo(0, base);
    for (int x = 0; x <= 476; x += 4) wave.lineTo(x, base + amp * std::sin(x / 46.0 + phase));
    p.setPen(QPen(QColor(255, 255, 255, 34 + 10 * i), 1.4));
    p.drawPath(wave);
  }

  // Packets travelling towards the tool on the left.
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 11; ++i) {
    const qreal x = 30 + i * 30, size = 4 + (i % 3);
    p.setBrush(QColor(255, 255, 255, 40 + i * 12));
    p.drawRoundedRect(QRectF(x, 26.5 - size / 2, size * 1.6, size), 1.5, 1.5);
  }

  // A dish at the right, sending towards the left.
  const QPointF dish(432, 28);
  p.setPen(QPen(QColor(255, 255, 255, 220), 2.2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(dish.x() - 14, dish.y() - 18, 28, 36), 100 * 16, 160 * 16);
  p.drawLine(dish + QPointF(-10, 0), dish + QPointF(4, 0));
  p.drawLine(dish + QPointF(2, 8), dish + QPointF(10, 22));
  p.drawLine(dish + QPointF(10, 22), dish + QPointF(-2, 22));
  p.setBrush(QColor(255, 255, 255, 230));
  p.drawEllipse(dish + QPointF(-12, 0), 2.5, 2.5);
  p.setBrush(Qt::NoBrush);
  for (int i = 1; i <= 3; ++i) {
    p.setPen(QPen(QColor(255, 255, 255, 200 - 45 * i), 1.8, Qt::SolidLine, Qt::RoundCap));
    const qreal r = 6.0 * i;
    p.drawArc(QRectF(dish.x() - 22 - r, dish.y() - r, 2 * r, 2 * r), 140 * 16, 80 * 16);
  }
  return img;
}
