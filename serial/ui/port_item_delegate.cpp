#include "serial/ui/port_item_delegate.h"

#include <QApplication>
#include <QPainter>

namespace {
constexpr int kMargin = 3;
}

int TPortItemDelegate::NameColumnWidth(const QFontMetrics& Metrics) {
  return Metrics.horizontalAdvance(QStringLiteral("COM50")) + 3 * kMargin;
}

void TPortItemDelegate::paint(QPainter* Painter, const QStyleOptionViewItem& Option,
                              const QModelIndex& Index) const {
  QStyleOptionViewItem opt = Option;
  initStyleOption(&opt, Index);
  const QString name = opt.text;
  const QString device = Index.data(DeviceRole).toString();
  opt.text.clear();  // the style draws background and selection, the texts are drawn here
  const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &opt, Painter, opt.widget);

  const bool selected = opt.state & QStyle::State_Selected;
  const QColor text = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
  const QRect area = opt.rect.adjusted(kMargin, 0, -kMargin, 0);
  const QRect deviceArea = area.adjusted(NameColumnWidth(opt.fontMetrics), 0, 0, 0);

  Painter->save();
  Painter->setFont(opt.font);
  Painter->setPen(text);
  Painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, name);
  Painter->setPen(selected ? text : opt.palette.color(QPalette::Disabled, QPalette::Text));
  Painter->drawText(deviceArea, Qt::AlignLeft | Qt::AlignVCenter,
                    opt.fontMetrics.elidedText(device, Qt::ElideMiddle, deviceArea.width()));
  Painter->restore();
}

QSize TPortItemDelegate::sizeHint(const QStyleOptionViewItem& Option,
                                  const QModelIndex& Index) const {
  QStyleOptionViewItem opt = Option;
  initStyleOption(&opt, Index);
  const QString device = Index.data(DeviceRole).toString();
  const int width = 2 * kMargin + NameColumnWidth(opt.fontMetrics) +
                    (device.isEmpty() ? 0 : opt.fontMetrics.horizontalAdvance(device));
  return {width, ItemHeight};
}
