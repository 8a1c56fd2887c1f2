#include "app/qt/skin/url_label.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "app/qt/skin/theme.h"

TSkinURLLabel::TSkinURLLabel(const QString& caption, QWidget* parent)
    : QWidget(parent), caption_(caption) {
  setFont(TSkinTheme::LinkFont());
  setCursor(Qt::PointingHandCursor);
}

void TSkinURLLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(font());
  p.setPen(hot_ ? TSkinTheme::LinkHover() : TSkinTheme::LinkText());
  p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, caption_);
}

void TSkinURLLabel::enterEvent(QEnterEvent* event) {
  hot_ = true;
  update();
  QWidget::enterEvent(event);
}

void TSkinURLLabel::leaveEvent(QEvent* event) {
  hot_ = false;
  update();
  QWidget::leaveEvent(event);
}

void TSkinURLLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit Clicked();
    if (!url_.trimmed().isEmpty()) QDesktopServices::openUrl(QUrl::fromUserInput(url_.trimmed()));
  }
  QWidget::mouseReleaseEvent(event);
}
