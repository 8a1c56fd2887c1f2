// An event object with time-outs: auto-reset (one waiter consumes each Set) or
// manual-reset (stays set until Reset). Std-based, no descriptors.
#pragma once

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <vector>

class TRivuEvent {
 public:
  enum class TKind { AutoReset, ManualReset };

  explicit TRivuEvent(TKind Kind = TKind::AutoReset) : Kind_(Kind) {}
  TRivuEvent(const TRivuEvent&) = delete;
  TRivuEvent& operator=(const TRivuEvent&) = delete;

  void Set();
  void Reset();
  // True when the event was (or became) set within TimeoutMs; an auto-reset
  // event is consumed by the successful wait. TimeoutMs 0 only tests.
  bool Wait(int TimeoutMs);
  bool TryWait() { return Wait(0); }

  // Waits for any of the events; returns the index of the first one found set
  // (and consumes it when auto-reset), or -1 on time-out.
  static int WaitAny(std::initializer_list<TRivuEvent*> Events, int TimeoutMs);

 private:
  struct TWaiter {
    std::mutex M;
    std::condition_variable Cv;
    bool Fired = false;
  };
  bool TryConsumeLocked();
  void Attach(TWaiter* W);
  void Detach(TWaiter* W);

  const TKind Kind_;
  std::mutex M_;
  std::condition_variable Cv_;
  bool Signalled_ = false;
  std::vector<TWaiter*> Waiters_;
};
