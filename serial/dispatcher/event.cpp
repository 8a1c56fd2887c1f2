#include "serial/dispatcher/event.h"

#include <algorithm>

void TRivuEvent::Set() {
  std::lock_guard Lock(M_);
  Signalled_ = true;
  Cv_.notify_all();
  for (TWaiter* W : Waiters_) {
    std::lock_guard WLock(W->M);
    W->Fired = true;
    W->Cv.notify_all();
  }
}

void TRivuEvent::Reset() {
  std::lock_guard Lock(M_);
  Signalled_ = false;
}

bool TRivuEvent::TryConsumeLocked() {
  if (!Signalled_) return false;
  if (Kind_ == TKind::AutoReset) Signalled_ = false;
  return true;
}

bool TRivuEvent::Wait(int TimeoutMs) {
  std::unique_lock Lock(M_);
  if (TimeoutMs > 0) {
    Cv_.wait_for(Lock, std::chrono::milliseconds(TimeoutMs), [this] { return Signalled_; });
  }
  return TryConsumeLocked();
}

void TRivuEvent::Attach(TWaiter* W) {
  std::lock_guard Lock(M_);
  Waiters_.push_back(W);
}

void TRivuEvent::Detach(TWaiter* W) {
  std::lock_guard Lock(M_);
  Waiters_.erase(std::remove(Waiters_.begin(), Waiters_.end(), W), Waiters_.end());
}

int TRivuEvent::WaitAny(std::initializer_list<TRivuEvent*> Events, int TimeoutMs) {
  TWaiter W;
  for (TRivuEvent* E : Events) E->Attach(&W);
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  int Found = -1;
  for (;;) {
    {
      std::lock_guard WLock(W.M);
      W.Fired = false;
    }
    // Fired is cleared before the events are tested, so a Set that lands
    // after the test still ends the wait below.
    int Index = 0;
    for (TRivuEvent* E : Events) {
      std::lock_guard Lock(E->M_);
      if (E->TryConsumeLocked()) {
        Found = Index;
        break;
      }
      ++Index;
    }
    if (Found >= 0) break;
    std::unique_lock WLock(W.M);
    if (!W.Cv.wait_until(WLock, Deadline, [&W] { return W.Fired; })) break;
  }
  for (TRivuEvent* E : Events) E->Detach(&W);
  return Found;
}
