// The main window: the content-type radio buttons, the Connect/Disconnect and
// Receive buttons, the log area, the progress bar, the banner and the link label,
// framed by the skin with its own title bar. The window has no logic of its own
// beyond its controls; the two commands are the click handlers.
#pragma once

#include <QWidget>

#include "app/save_dialog.h"
#include "app/theme.h"

class TSkinForm;
class TSkinProgressBar;
class TSpeedButton;
class TSkinMemo;
class TSkinURLLabel;
class TSkinImagePanel;
class TSkinRadioGroup;
class TSkinRadioButton;

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 477;
  static constexpr int kClientHeight = 382;

  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The controls, owned by the window (pointers stay valid while it lives).
  TSkinForm* skinForm1;
  TSaveDialog SaveDialog1;
  TSkinTheme skinTheme1;
  TSkinProgressBar* ProgressBar1;
  TSpeedButton* SpeedButton1;
  TSpeedButton* SpeedButton2;
  TSkinMemo* Memo1;
  TSkinURLLabel* skinURLLabel1;
  TSkinImagePanel* skinImagePanel1;
  TSkinRadioGroup* skinRadioGroup1;
  TSkinRadioButton* TCN_RB;
  TSkinRadioButton* LOGO_RB;
  TSkinRadioButton* DAT_RB;
  TSkinRadioButton* NET_RB;

 protected:
  // Connect/Disconnect and Receive. An exception that escapes either is shown in
  // the error box and the event loop goes on.
  virtual void SpeedButton1Click(QObject* Sender);
  virtual void SpeedButton2Click(QObject* Sender);
  // Shows an escaped exception's message; the error box by default.
  virtual void ShowException(const QString& message);

 private:
  void RunCommand(void (TForm1::*command)(QObject*), QObject* sender);
};
