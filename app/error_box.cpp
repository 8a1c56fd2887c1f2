#include "app/error_box.h"

#include <QMessageBox>

#include "app/application.h"

QString ErrorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back() > QChar(u'.')) return message + u'.';
  return message;
}

void ShowErrorBox(const QString& message, QWidget* parent) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(ApplicationTitle), ErrorBoxText(message),
                  QMessageBox::Ok, parent);
  box.exec();
}
