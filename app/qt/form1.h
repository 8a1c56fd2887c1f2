// The main window: the content-type radio buttons, the Connect/Disconnect and
// Receive buttons, the log area, the progress bar, the banner and the link label,
// framed by the skin with its own title bar, and the serial port. The two
// commands are the click handlers; closing the window ends a running download
// before the port goes.
#pragma once

#include <QWidget>
#include <memory>

#include "app/form1_commands.h"
#include "app/form1_layout.h"
#include "app/qt/save_dialog.h"
#include "app/qt/skin/theme.h"
#include "serial/component/com_port.h"

class TSkinForm;
class TSkinProgressBar;
class TSpeedButton;
class TSkinMemo;
class TSkinURLLabel;
class TSkinImagePanel;
class TSkinRadioGroup;
class TSkinRadioButton;
class TWindowView;

class TForm1 : public QWidget, private TForm1Controls {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = Form1Layout::ClientWidth;
  static constexpr int kClientHeight = Form1Layout::ClientHeight;

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
  TRivuComPort RivuComPort1;
  TSkinRadioGroup* skinRadioGroup1;
  TSkinRadioButton* TCN_RB;
  TSkinRadioButton* LOGO_RB;
  TSkinRadioButton* DAT_RB;
  TSkinRadioButton* NET_RB;

  // For tests only: the pauses of the next downloads (programs use the defaults).
  void UseTaskTimings(const TTaskTimings& Timings) { commands_->UseTaskTimings(Timings); }
  // The download's view, through which tests reach its message boxes.
  TWindowView& View() { return *view_; }

 protected:
  // Connect/Disconnect and Receive. An exception that escapes either is shown in
  // the error box and the event loop goes on.
  virtual void SpeedButton1Click(QObject* Sender);
  virtual void SpeedButton2Click(QObject* Sender);
  // Shows an escaped exception's message; the error box by default.
  virtual void ShowException(const QString& message);
  // Ends a running download before the window and its port go.
  void closeEvent(QCloseEvent* event) override;

 private:
  void RunCommand(void (TForm1::*command)(QObject*), QObject* sender);

  // The controls the commands touch.
  void MemoClear() override;
  void MemoSetText(std::string_view Text) override;
  TBitmap& ConnectGlyph() override;
  void ConnectGlyphChanged() override;
  void SetConnectCaption(std::string_view Caption) override;
  void CancelPrompts() override;
  void ProcessEventsUntil(const std::function<bool()>& Done) override;

  // Declared after the port, so that they go first; the task in the commands
  // goes before the view it reports to.
  std::unique_ptr<TWindowView> view_;
  std::unique_ptr<TForm1Commands> commands_;
};
