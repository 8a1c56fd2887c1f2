// The custom-drawn title bar: three picture sections, the application icon, the
// title, and the window menu, minimise, maximise and close buttons. Dragging it
// moves the window; a double click outside the buttons acts as maximise.
#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <array>

#include "app/form1_layout.h"
#include "app/qt/skin/theme.h"

class TTitleButton : public QAbstractButton {
  Q_OBJECT
 public:
  static constexpr int kSize = Form1Layout::TitleButtonSize;

  TTitleButton(TTitleButtonKind kind, QWidget* parent = nullptr);
  void SetKind(TTitleButtonKind kind);
  TTitleButtonKind Kind() const { return kind_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TTitleButtonKind kind_;
  std::array<QPixmap, 3> pictures_;  // normal, mouse over, pressed
};

class TSkinTitleBar : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kHeight = Form1Layout::TitleBarHeight;
  static constexpr int kButtonTop = Form1Layout::TitleButtonTop;

  TSkinTitleBar(const QString& title, QWidget* parent = nullptr);

  QString Title() const { return title_; }
  // Shows the restore picture on the maximise button while maximised.
  void SetMaximized(bool maximized);

  TTitleButton* MenuButton() const { return buttons_[0]; }
  TTitleButton* MinimizeButton() const { return buttons_[1]; }
  TTitleButton* MaximizeButton() const { return buttons_[2]; }
  TTitleButton* CloseButton() const { return buttons_[3]; }

 signals:
  void MenuRequested(QPoint globalPos);
  void MinimizeRequested();
  void MaximizeRequested();
  void CloseRequested();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void PlaceButtons();

  QString title_;
  QImage icon_;
  QPixmap left_, middle_, right_;
  std::array<TTitleButton*, 4> buttons_{};
  bool maximized_ = false;
  bool dragging_ = false;  // manual move where the platform cannot move for us
  QPoint dragOffset_;
};
