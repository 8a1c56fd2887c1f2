// The main window's two commands, Connect/Disconnect and Receive, and the end
// of a download when the window closes: the same sequences on every toolkit.
// A front-end's window hands over the controls they touch.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "app/graphics/bitmap.h"
#include "download/com_port_link.h"
#include "download/download_view.h"
#include "download/up_thread.h"
#include "serial/component/com_port.h"

// What the commands need of a window, on its user-interface thread.
class TForm1Controls {
 public:
  virtual ~TForm1Controls() = default;
  // The log area.
  virtual void MemoClear() = 0;
  virtual void MemoSetText(std::string_view Text) = 0;
  // The Connect button: its glyph, changed in place and then shown, and its caption.
  virtual TBitmap& ConnectGlyph() = 0;
  virtual void ConnectGlyphChanged() = 0;
  virtual void SetConnectCaption(std::string_view Caption) = 0;
  // Closes the task's open message box or save dialog as cancelled, and
  // answers every later one with cancel.
  virtual void CancelPrompts() = 0;
  // Runs the window's pending events, user input aside, until Done holds.
  virtual void ProcessEventsUntil(const std::function<bool()>& Done) = 0;
};

class TForm1Commands {
 public:
  // The port and the view outlive the commands.
  TForm1Commands(TForm1Controls& Controls, TRivuComPort& Port, TDownloadView& View);
  TForm1Commands(const TForm1Commands&) = delete;
  TForm1Commands& operator=(const TForm1Commands&) = delete;

  // The port's stored settings, set once when the window is made.
  void InitPort();
  // Exceptions of the port component escape to the caller, which shows them.
  void SpeedButton1Click();
  void SpeedButton2Click();
  // Stops a running task, cancels its dialogs, closes the port and waits for
  // the task to end while the window goes on running its events.
  void EndTask();
  // Right after the task's TaskDone, on the user-interface thread: the task
  // object goes.
  void TaskEnded() { task_.reset(); }

  // For tests only: the pauses of the next downloads (programs use the defaults).
  void UseTaskTimings(const TTaskTimings& Timings) { timings_ = Timings; }

 private:
  void Connect();
  void Disconnect();

  TForm1Controls& controls_;
  TRivuComPort& port_;
  TDownloadView& view_;
  TComPortLink link_;
  TTaskTimings timings_;
  std::unique_ptr<UpThread> task_;  // the current task; gone once TaskDone has run
};
