// The serial component's platform on Win32: each notification window is a
// real hidden window of class "rvComWindow" on the thread that made it, its
// notifications are window messages, the port prompt is the port selection
// dialog, and background failures appear in the error box.
#pragma once

#include "app/win32/windows_api.h"
#include "serial/platform/platform.h"

class TWin32SerialPlatform : public TSerialPlatform {
 public:
  // Create it on the user-interface thread; it must outlive every port. The
  // error boxes of background failures are owned by Owner (may be null).
  explicit TWin32SerialPlatform(HWND Owner = nullptr);

  void SetOwner(HWND Owner) { owner_ = Owner; }

  std::unique_ptr<TNotifyWindow> CreateNotifyWindow(TWindowProc Proc) override;
  // Runs the messages queued for the calling thread's notification windows
  // before the call, and nothing else, so that neither a click nor the
  // download task's updates run in the middle of a close, and a message that
  // posts itself again runs once.
  void ProcessPendingEvents() override;
  // A thread of its own shows the error box: the caller does not wait for the
  // user.
  void ShowBackgroundError(const std::string& Text) override;
  // The port selection dialog, modal; 0 when cancelled or closed.
  int PromptForPort() override;

 private:
  HWND owner_;
  DWORD guiThread_;
};

// The class name of the component's hidden windows.
inline constexpr wchar_t ComWindowClass[] = L"rvComWindow";
