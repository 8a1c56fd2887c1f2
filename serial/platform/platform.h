// What the serial component needs of the windowing toolkit. The desktop tool
// implements it with its toolkit; tests and the command-line receiver use
// TPlainPlatform.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// A window procedure: runs on the thread that created the window.
using TWindowProc = std::function<intptr_t(uint32_t Msg, uintptr_t WParam, intptr_t LParam)>;

class TNotifyWindow {
 public:
  virtual ~TNotifyWindow() = default;
  // Queues the message for the window's thread and returns at once.
  virtual void Post(uint32_t Msg, uintptr_t WParam, intptr_t LParam) = 0;
  // Runs the message on the window's thread (directly when called there) and
  // waits up to TimeoutMs for it; false when it timed out.
  virtual bool Send(uint32_t Msg, uintptr_t WParam, intptr_t LParam, int TimeoutMs,
                    intptr_t* Result = nullptr) = 0;
  // Runs the message on the window's thread (directly when called there) and
  // waits up to TimeoutMs for it. A message not run by then still runs once,
  // later, as a posted one would. True when it ran within the wait.
  virtual bool Deliver(uint32_t Msg, uintptr_t WParam, intptr_t LParam, int TimeoutMs) = 0;
  // True while the calling thread is running one of this window's messages.
  virtual bool RunningHere() const { return false; }
};

class TSerialPlatform {
 public:
  virtual ~TSerialPlatform() = default;
  // A hidden notification window owned by the calling thread.
  virtual std::unique_ptr<TNotifyWindow> CreateNotifyWindow(TWindowProc Proc) = 0;
  // Runs the calling thread's pending window messages; a closing thread calls
  // it while it waits, so that a message sent to it cannot stall the close.
  // May be called on any thread; one without windows has nothing to run.
  virtual void ProcessPendingEvents() = 0;
  // Shows a background thread's failure to the user; called on that thread.
  virtual void ShowBackgroundError(const std::string& Text) = 0;
  // Asks the user for a port number; 0 when none was chosen.
  virtual int PromptForPort() = 0;
};

// Toolkit-free platform: each thread has a mailbox that ProcessPendingEvents
// drains; errors go to standard error; no port is ever chosen.
class TPlainPlatform : public TSerialPlatform {
 public:
  std::unique_ptr<TNotifyWindow> CreateNotifyWindow(TWindowProc Proc) override;
  void ProcessPendingEvents() override;
  void ShowBackgroundError(const std::string& Text) override;
  int PromptForPort() override { return 0; }
};

// The installed platform; TPlainPlatform until SetSerialPlatform is called.
TSerialPlatform& SerialPlatform();
// Installs P (not owned; nullptr restores the plain one). Call it before any
// port opens.
void SetSerialPlatform(TSerialPlatform* P);
