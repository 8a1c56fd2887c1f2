// The port selection dialog: lists the ports COM1..COM50 that can be opened or
// that another program holds, shows which device each one stands for, and
// returns the number picked.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "serial/ui/convert_error.h"
#include "serial/ui/port_item_delegate.h"

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3 };

class TComSelectForm : public QDialog {
  Q_OBJECT

 public:
  // Fills the list (one trial open per port number) before it is shown.
  explicit TComSelectForm(QWidget* Owner = nullptr);

  // Shows the dialog modally: mrOk, mrAbort (Cancel button) or mrCancel (closed).
  TModalResult ShowModal();
  // The number of the selected entry; EConvertError when nothing is selected.
  int SelectedComNum() const;
  // The text of the selected entry ("COM3"); empty when nothing is selected.
  QString SelectedCom() const;

  // Declared in creation order: the bevel lies beneath the texts, and the
  // delegate outlives the list that uses it.
  QFrame Bevel1;
  QLabel Label1;
  QLabel Label2;
  QLabel DeviceLabel;  // the device behind the selected entry
  TPortItemDelegate PortsDelegate;
  QComboBox PortsComboBox;
  QPushButton OkBtn;
  QPushButton AbortBtn;

 public slots:
  // The window's close button: the result Cancel.
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

 private:
  void FormCreate();
  void ShowDevice(int Index);
};
