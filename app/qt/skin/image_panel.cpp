#include "app/qt/skin/image_panel.h"

#include <QPainter>

TSkinImagePanel::TSkinImagePanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TSkinImagePanel::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

void TSkinImagePanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  if (picture_.isNull())
    p.fillRect(rect(), palette().window());
  else
    p.drawImage(rect(), picture_);
}
