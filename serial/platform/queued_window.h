// A notification window whose messages run as jobs queued for the thread that
// owns it. The platforms differ only in how a job reaches that thread.
#pragma once

#include <functional>
#include <memory>

#include "serial/platform/platform.h"

class TQueuedNotifyWindow : public TNotifyWindow {
 public:
  explicit TQueuedNotifyWindow(TWindowProc Proc);
  // Messages still queued find the window gone and do nothing.
  ~TQueuedNotifyWindow() override;

  void Post(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;
  // On the owner thread the message runs at once; from elsewhere it is queued
  // and waited for, and never runs once the sender has given up on it.
  bool Send(uint32_t Msg, uintptr_t WParam, intptr_t LParam, int TimeoutMs,
            intptr_t* Result) override;
  bool Deliver(uint32_t Msg, uintptr_t WParam, intptr_t LParam, int TimeoutMs) override;
  bool RunningHere() const override;

 protected:
  // Queues Job for the owner thread; false when nothing would run it.
  virtual bool Queue(std::function<void()> Job) = 0;
  virtual bool OnOwnerThread() const = 0;

 private:
  struct TCore;
  std::shared_ptr<TCore> core_;
};
