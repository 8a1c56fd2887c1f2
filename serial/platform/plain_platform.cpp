#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

#include "serial/platform/platform.h"
#include "serial/platform/queued_window.h"

namespace {

struct TMailbox {
  std::mutex M;
  std::deque<std::function<void()>> Jobs;
};

std::shared_ptr<TMailbox> ThreadMailbox() {
  thread_local std::shared_ptr<TMailbox> Box = std::make_shared<TMailbox>();
  return Box;
}

class TPlainWindow : public TQueuedNotifyWindow {
 public:
  explicit TPlainWindow(TWindowProc Proc)
      : TQueuedNotifyWindow(std::move(Proc)),
        Box_(ThreadMailbox()),
        Owner_(std::this_thread::get_id()) {}

 protected:
  bool Queue(std::function<void()> Job) override {
    std::lock_guard Lock(Box_->M);
    Box_->Jobs.push_back(std::move(Job));
    return true;
  }
  bool OnOwnerThread() const override { return std::this_thread::get_id() == Owner_; }

 private:
  std::shared_ptr<TMailbox> Box_;
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
