// The serial component's platform on Qt: notification windows deliver their
// messages on the user-interface thread through the event loop, the port
// prompt is the port selection dialog, and background failures appear in the
// error box.
#pragma once

#include <QObject>
#include <memory>

#include "serial/platform/platform.h"

// Create it on the user-interface thread; it must outlive every port.
class TQtSerialPlatform : public TSerialPlatform {
 public:
  TQtSerialPlatform();
  ~TQtSerialPlatform() override;

  // Windows created on the user-interface thread use its event loop; any
  // other thread gets the plain mailbox that ProcessPendingEvents drains.
  std::unique_ptr<TNotifyWindow> CreateNotifyWindow(TWindowProc Proc) override;
  // On the user-interface thread: runs the messages queued for the component's
  // windows, and nothing else, so that neither a click nor the download task's
  // updates can run in the middle of a close.
  void ProcessPendingEvents() override;
  // Queued to the user-interface thread, which shows the error box without
  // blocking anyone.
  void ShowBackgroundError(const std::string& Text) override;
  // The port selection dialog, modal; 0 when cancelled or closed. A failure to
  // read the choice propagates.
  int PromptForPort() override;

 private:
  TPlainPlatform fallback_;
  // Lives on the user-interface thread; every message is queued for it.
  std::unique_ptr<QObject> mailbox_;
};

// True on the thread that runs the application's event loop.
bool OnGuiThread();
