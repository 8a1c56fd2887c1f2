// The dispatch buffer as the handlers of one notification see it. During an
// avail or data notification consumption is deferred: the handler being told
// reads from the start of the buffered bytes without taking them, the next
// handler from the start again, and what the most reading handler read is
// taken when the delivery ends. Readers on any other thread take bytes as
// usual meanwhile, and what they take leaves the handlers' view too: no
// thread reads a byte twice.
//
// The handler being told runs on the delivering thread, or, for a window, on
// the window's own thread; Window also names the window a delivery of any
// kind is being sent to, which must stay alive until it returns.
//
// Guarded by the dispatcher's input lock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <thread>

#include "serial/platform/platform.h"

class TDeliveryView {
 public:
  // A delivery begins on the calling thread; Deferred for avail and data
  // notifications.
  void Begin(bool Deferred) {
    On_ = Deferred;
    Read_ = Furthest_ = 0;
    Thread_ = std::this_thread::get_id();
  }
  // The next handler is told; W: the window it is sent to, if any.
  void Next(const TNotifyWindow* W) {
    Furthest_ = std::max(Furthest_, Read_);
    Read_ = 0;
    Window_ = W;
  }
  // The handler returned; Closed: it closed the port, nothing is taken.
  void Returned(bool Closed) {
    Furthest_ = std::max(Furthest_, Read_);
    Window_ = nullptr;
    if (Closed) On_ = false;
  }
  // The delivery ends: the bytes to take now (deferred ones only).
  uint32_t End() {
    const uint32_t Taken = On_ ? std::max(Furthest_, Read_) : 0;
    On_ = false;
    Read_ = Furthest_ = 0;
    Window_ = nullptr;
    return Taken;
  }
  // The window a delivery is being sent to now.
  const TNotifyWindow* Window() const { return Window_; }
  // The calling thread is the handler being told, with consumption deferred.
  bool Inside() const {
    if (!On_) return false;
    return Window_ ? Window_->RunningHere() : std::this_thread::get_id() == Thread_;
  }
  // Where the calling thread's reads start, from the buffer's tail.
  uint32_t Offset() const { return Inside() ? Read_ : 0; }
  // The handler being told read N bytes.
  void HandlerRead(uint32_t N) { Read_ += N; }
  // The handler being told flushed: all Count buffered bytes go at the end.
  void HandlerFlushed(uint32_t Count) { Furthest_ = Read_ = Count; }
  // Another thread took N bytes from the tail, or flushed (N: all of them).
  void TakenElsewhere(uint32_t N) {
    Read_ -= std::min(Read_, N);
    Furthest_ -= std::min(Furthest_, N);
  }
  // The port closes or opens: nothing is being delivered.
  void Reset() { End(); }

 private:
  bool On_ = false;
  uint32_t Read_ = 0;      // bytes the handler being told read
  uint32_t Furthest_ = 0;  // the most any earlier handler of this delivery read
  std::thread::id Thread_;
  const TNotifyWindow* Window_ = nullptr;
};
