#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

#include "serial/platform.h"

namespace {

struct TMailbox {
  std::mutex M;
  std::deque<std::function<void()>> Jobs;
};

std::shared_ptr<TMailbox> ThreadMailbox() {
  thread_local std::shared_ptr<TMailbox> Box = std::make_shared<TMailbox>();
  return Box;
}

// Outlives the window while messages for it are queued.
struct TProcHolder {
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
    return P(Msg, WParam, LParam);
  }
};

struct TSendState {
  std::mutex M;
  std::condition_variable Cv;
  bool Started = false, Done = false, Abandoned = false;
  intptr_t Result = 0;
};

class TPlainWindow : public TNotifyWindow {
 public:
  explicit TPlainWindow(TWindowProc Proc)
      : Box_(ThreadMailbox()),
        Holder_(std::make_shared<TProcHolder>()),
        Owner_(std::this_thread::get_id()) {
    Holder_->Proc = std::move(Proc);
  }
  ~TPlainWindow() override {
    std::lock_guard Lock(Holder_->M);
    Holder_->Alive = false;
  }

  void Post(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override {
    auto H = Holder_;
    Enqueue([H, Msg, WParam, LParam] { H->Call(Msg, WParam, LParam); });
  }

  bool Send(uint32_t Msg, uintptr_t WParam, intptr_t LParam, int TimeoutMs,
            intptr_t* Result) override {
    if (std::this_thread::get_id() == Owner_) {
      intptr_t R = Holder_->Call(Msg, WParam, LParam);
      if (Result) *Result = R;
      return true;
    }
    auto S = std::make_shared<TSendState>();
    auto H = Holder_;
    Enqueue([S, H, Msg, WParam, LParam] {
      {
        std::lock_guard Lock(S->M);
        if (S->Abandoned) return;
        S->Started = true;
      }
      intptr_t R = H->Call(Msg, WParam, LParam);
      std::lock_guard Lock(S->M);
      S->Result = R;
      S->Done = true;
      S->Cv.notify_all();
    });
    std::unique_lock Lock(S->M);
    if (!S->Cv.wait_for(Lock, std::chrono::milliseconds(TimeoutMs), [&S] { return S->Done; })) {
      S->Abandoned = true;
      return false;
    }
    if (Result) *Result = S->Result;
    return true;
  }

 private:
  void Enqueue(std::function<void()> Job) {
    std::lock_guard Lock(Box_->M);
    Box_->Jobs.push_back(std::move(Job));
  }

  std::shared_ptr<TMailbox> Box_;
  std::shared_ptr<TProcHolder> Holder_;
  std::thread::id Owner_;
};

TPlainPlatform DefaultPlatform;
std::atomic<TSerialPlatform*> Installed{nullptr};

}  // namespace

std::unique_ptr<TNotifyWindow> TPlainPlatform::CreateNotifyWindow(TWindowProc Proc) {
  return std::make_unique<TPlainWindow>(std::move(Proc));
}

void TPlainPlatform::ProcessPendingEvents() {
  auto Box = ThreadMailbox();
  std::deque<std::function<void()>> Jobs;
  {
    std::lock_guard Lock(Box->M);
    Jobs.swap(Box->Jobs);
  }
  for (auto& Job : Jobs) Job();
}

void TPlainPlatform::ShowBackgroundError(const std::string& Text) {
  std::fprintf(stderr, "Error: %s\n", Text.c_str());
}

TSerialPlatform& SerialPlatform() {
  TSerialPlatform* P = Installed.load();
  return P ? *P : DefaultPlatform;
}

void SetSerialPlatform(TSerialPlatform* P) {
  Installed.store(P);
}
