#include "app/qt/skin/progress_bar.h"

#include <QAccessible>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

#include "app/qt/skin/theme.h"

TSkinProgressBar::TSkinProgressBar(QWidget* parent) : QWidget(parent) {
  setFont(TSkinTheme::WindowFont());
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TSkinProgressBar::SetPosition(int position) {
  position_ = position;
  Changed();
}

void TSkinProgressBar::SetMin(int min) {
  min_ = min;
  Changed();
}

void TSkinProgressBar::SetMax(int max) {
  max_ = max;
  Changed();
}

void TSkinProgressBar::StepBy(int n) {
  position_ = ToProgress(int64_t{position_} + n);
  Changed();
}

QString TSkinProgressBar::Caption() const {
  return QString::number(ProgressPercent(position_, min_, max_)) + u'%';
}

QRect TSkinProgressBar::FillArea() const {
  const int inset = TSkinTheme::kProgressInset;
  return rect().adjusted(inset, inset, -inset, -inset);
}

int TSkinProgressBar::FillWidth() const {
  return ProgressFillWidth(position_, min_, max_, std::max(0, FillArea().width()));
}

void TSkinProgressBar::Changed() {
  setAccessibleDescription(Caption());
  QAccessibleValueChangeEvent event(this, position_);
  QAccessible::updateAccessibility(&event);
  update();
}

void TSkinProgressBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  TSkinTheme::PaintProgressTrack(p, rect());
  QRect fill = FillArea();
  fill.setWidth(FillWidth());
  TSkinTheme::PaintProgressFill(p, fill);
  p.setPen(Qt::black);
  p.setFont(font());
  p.drawText(rect(), Qt::AlignCenter, Caption());
}
