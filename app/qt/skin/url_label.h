// A clickable text: hand cursor, changes colour under the mouse, and a click opens
// its address with the desktop's default handler.
#pragma once

#include <QString>
#include <QWidget>

class TSkinURLLabel : public QWidget {
  Q_OBJECT
 public:
  explicit TSkinURLLabel(const QString& caption, QWidget* parent = nullptr);

  QString Caption() const { return caption_; }
  // A blank address makes the click do nothing.
  void SetURL(const QString& url) { url_ = url; }
  QString URL() const { return url_; }
  bool Hot() const { return hot_; }

 signals:
  void Clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QString caption_;
  QString url_;
  bool hot_ = false;
};
