// The skin frame: covers the whole window, paints its background and 1-pixel black
// border, carries the title bar and the window commands (menu, minimise,
// maximise/restore, close), and holds every visible control in Client().
#pragma once

#include <QSize>
#include <QWidget>

class TSkinTitleBar;
class QMenu;

class TSkinForm : public QWidget {
  Q_OBJECT
 public:
  // `design` is the window's size; the controls keep their places within it.
  TSkinForm(const QString& title, QSize design, QWidget* parent);

  TSkinTitleBar* TitleBar() const { return titleBar_; }
  // Parent of the controls: the area below the title bar at the design size, placed
  // at (0, title bar height) in the normal window and centred when maximised.
  QWidget* Client() const { return client_; }

  void ShowWindowMenu(QPoint globalPos);
  void ToggleMaximized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Relayout();

  QSize design_;
  TSkinTitleBar* titleBar_;
  QWidget* client_;
  QWidget* border_;
};
