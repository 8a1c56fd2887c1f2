// Draws a port entry of the drop-down list as its name ("COM3") followed, in a
// second column, by the device it stands for; the popup is widened to fit.
#pragma once

#include <QStyledItemDelegate>

class TPortItemDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  static constexpr int DeviceRole = Qt::UserRole + 1;
  static constexpr int ItemHeight = 13;

  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
             const QModelIndex& Index) const override;
  QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override;

  // Where the device column starts, measured from the text's left edge.
  static int NameColumnWidth(const QFontMetrics& Metrics);
};
