#include "app/qt/error_box.h"

#include <QMessageBox>
#include <memory>

#include "app/application.h"
#include "app/controls_logic.h"

namespace {

std::unique_ptr<QMessageBox> MakeErrorBox(const QString& message, QWidget* parent) {
  return std::make_unique<QMessageBox>(QMessageBox::Critical, QString::fromUtf8(ApplicationTitle),
                                       ErrorBoxText(message), QMessageBox::Ok, parent);
}

}  // namespace

QString ErrorBoxText(const QString& message) {
  return QString::fromStdString(ErrorBoxText(message.toStdString()));
}

void ShowErrorBox(const QString& message, QWidget* parent) {
  MakeErrorBox(message, parent)->exec();
}

void OpenErrorBox(const QString& message) {
  auto box = MakeErrorBox(message, nullptr);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::ApplicationModal);
  box->show();
  box.release();  // deletes itself when closed
}
