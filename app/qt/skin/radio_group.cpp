#include "app/qt/skin/radio_group.h"

#include <QFocusEvent>
#include <QPainter>

#include "app/qt/skin/theme.h"

TSkinRadioGroup::TSkinRadioGroup(QWidget* parent) : QWidget(parent) {
  setFont(TSkinTheme::GroupFont());
}

void TSkinRadioGroup::paintEvent(QPaintEvent*) {
  QPainter p(this);
  TSkinTheme::PaintGroup(p, rect().adjusted(2, 1, -2, -1));
}

TSkinRadioButton::TSkinRadioButton(const QString& caption, QWidget* parent)
    : QRadioButton(caption, parent) {
  setAutoExclusive(true);
  setAttribute(Qt::WA_Hover);
  setCursor(Qt::PointingHandCursor);
}

QSize TSkinRadioButton::sizeHint() const {
  const QFontMetrics fm(font());
  return {kIndicator + kGap + fm.horizontalAdvance(text()) + 2,
          std::max(kIndicator, fm.height()) + 2};
}

void TSkinRadioButton::focusInEvent(QFocusEvent* event) {
  keyboardFocus_ = event->reason() == Qt::TabFocusReason ||
                   event->reason() == Qt::BacktabFocusReason ||
                   event->reason() == Qt::ShortcutFocusReason;
  QRadioButton::focusInEvent(event);
}

void TSkinRadioButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  TSkinState state = TSkinState::Normal;
  if (!isEnabled())
    state = TSkinState::Disabled;
  else if (isDown())
    state = TSkinState::Pressed;
  else if (underMouse())
    state = TSkinState::Hover;
  const int top = (height() - kIndicator) / 2;
  TSkinTheme::PaintRadioIndicator(p, QRect(0, top, kIndicator, kIndicator), state, isChecked());
  p.setFont(font());
  p.setPen(isEnabled() ? TSkinTheme::Accent() : TSkinTheme::Muted());
  const QRect textRect = rect().adjusted(kIndicator + kGap, 0, 0, 0);
  p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());
  if (hasFocus() && keyboardFocus_) {
    QPen pen(TSkinTheme::AccentLight(), 1, Qt::DotLine);
    p.setPen(pen);
    const int w = fontMetrics().horizontalAdvance(text());
    p.drawLine(textRect.left(), height() - 1, textRect.left() + w, height() - 1);
  }
}
