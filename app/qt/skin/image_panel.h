// A picture panel: shows its picture stretched to fill the panel.
#pragma once

#include <QImage>
#include <QWidget>

class TSkinImagePanel : public QWidget {
  Q_OBJECT
 public:
  explicit TSkinImagePanel(QWidget* parent = nullptr);

  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};
