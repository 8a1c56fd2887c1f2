// The serial component's platform on Qt: notification windows deliver their
// messages on the user-interface thread through the event loop, the port
// prompt is the port selection dialog, and background failures appear in the
// error box.
#pragma once

#include "serial/platform.h"

class TQtSerialPlatform : public TSerialPlatform {
 public:
  // Windows created on the user-interface thread use its event loop; any
  // other thread gets the plain mailbox that ProcessPendingEvents drains.
  std::unique_ptr<TNotifyWindow> CreateNotifyWindow(TWindowProc Proc) override;
  // On the user-interface thread: runs posted events, holding back user input
  // so that a click cannot start another command in the middle of a close.
  void ProcessPendingEvents() override;
  // Queued to the user-interface thread, which shows the error box without
  // blocking anyone.
  void ShowBackgroundError(const std::string& Text) override;
  // The port selection dialog, modal; 0 when cancelled or closed. A failure to
  // read the choice propagates.
  int PromptForPort() override;

 private:
  TPlainPlatform fallback_;
};

// True on the thread that runs the application's event loop.
bool OnGuiThread();
