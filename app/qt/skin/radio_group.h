// The frame of the four content-type radio buttons and the themed radio button.
#pragma once

#include <QRadioButton>
#include <QWidget>

#include "app/form1_layout.h"

class TSkinRadioGroup : public QWidget {
  Q_OBJECT
 public:
  explicit TSkinRadioGroup(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Exclusive among the radio buttons of its frame; none is selected at first.
class TSkinRadioButton : public QRadioButton {
  Q_OBJECT
 public:
  TSkinRadioButton(const QString& caption, QWidget* parent = nullptr);

  bool Checked() const { return isChecked(); }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  bool keyboardFocus_ = false;  // focus shown only when reached by keyboard
  static constexpr int kIndicator = Form1Layout::RadioIndicator;
  static constexpr int kGap = Form1Layout::RadioGap;
};
