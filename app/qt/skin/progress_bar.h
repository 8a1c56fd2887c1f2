// The progress bar with its percentage caption. Unlike a stock bar it never clamps:
// a position outside [Min, Max] is stored as given and shows in the caption.
#pragma once

#include <QString>
#include <QWidget>

#include "app/controls_logic.h"

class TSkinProgressBar : public QWidget {
  Q_OBJECT
 public:
  explicit TSkinProgressBar(QWidget* parent = nullptr);

  int Position() const { return position_; }
  int Min() const { return min_; }
  int Max() const { return max_; }
  void SetPosition(int position);
  void SetMin(int min);
  void SetMax(int max);
  // Position += n; saturates at the limits of int instead of overflowing.
  void StepBy(int n);

  QString Caption() const;
  // Width of the filled part as drawn now.
  int FillWidth() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect FillArea() const;
  void Changed();

  int position_ = 0;
  int min_ = 0;
  int max_ = 100;
};
