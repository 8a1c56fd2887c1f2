#include "serial/platform/queued_window.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {
// The windows whose messages the calling thread runs now, innermost last.
thread_local std::vector<const void*> Running;
}  // namespace

// Outlives the window while messages for it are queued.
struct TQueuedNotifyWindow::TCore {
  std::mutex M;
  TWindowProc Proc;
  bool Alive = true;

  intptr_t Call(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
    TWindowProc P;
    {
      std::lock_guard Lock(M);
      if (!Alive) return 0;
      P = Proc;
    }
    struct TRunning {
      explicit TRunning(const void* Core) { Running.push_back(Core); }
      ~TRunning() { Running.pop_back(); }
    } Mark(this);
    return P(Msg, WParam, LParam);
  }
};

namespace {

struct TSendState {
  std::mutex M;
  std::condition_variable Cv;
  bool Done = false, Abandoned = false;
  intptr_t Result = 0;
};

}  // namespace

TQueuedNotifyWindow::TQueuedNotifyWindow(TWindowProc Proc) : core_(std::make_shared<TCore>()) {
  core_->Proc = std::move(Proc);
}

TQueuedNotifyWindow::~TQueuedNotifyWindow() {
  std::lock_guard Lock(core_->M);
  core_->Alive = false;
}

void TQueuedNotifyWindow::Post(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  Queue([core = core_, Msg, WParam, LParam] { core->Call(Msg, WParam, LParam); });
}

bool TQueuedNotifyWindow::Send(uint32_t Msg, uintptr_t WParam, intptr_t LParam, int TimeoutMs,
                               intptr_t* Result) {
  if (OnOwnerThread()) {
    const intptr_t R = core_->Call(Msg, WParam, LParam);
    if (Result) *Result = R;
    return true;
  }
  auto S = std::make_shared<TSendState>();
  const bool Queued = Queue([S, core = core_, Msg, WParam, LParam] {
    {
      std::lock_guard Lock(S->M);
      if (S->Abandoned) return;
    }
    const intptr_t R = core->Call(Msg, WParam, LParam);
    std::lock_guard Lock(S->M);
    S->Result = R;
    S->Done = true;
    S->Cv.notify_all();
  });
  if (!Queued) return false;
  std::unique_lock Lock(S->M);
  if (!S->Cv.wait_for(Lock, std::chrono::milliseconds(TimeoutMs), [&S] { return S->Done; })) {
    S->Abandoned = true;
    return false;
  }
  if (Result) *Result = S->Result;
  return true;
}

bool TQueuedNotifyWindow::Deliver(uint32_t Msg, uintptr_t WParam, intptr_t LParam, int TimeoutMs) {
  if (OnOwnerThread()) {
    core_->Call(Msg, WParam, LParam);
    return true;
  }
  auto S = std::make_shared<TSendState>();
  const bool Queued = Queue([S, core = core_, Msg, WParam, LParam] {
    core->Call(Msg, WParam, LParam);
    std::lock_guard Lock(S->M);
    S->Done = true;
    S->Cv.notify_all();
  });
  if (!Queued) return false;
  std::unique_lock Lock(S->M);
  return S->Cv.wait_for(Lock, std::chrono::milliseconds(std::max(TimeoutMs, 0)),
                        [&S] { return S->Done; });
}

bool TQueuedNotifyWindow::RunningHere() const {
  return std::find(Running.begin(), Running.end(), core_.get()) != Running.end();
}
