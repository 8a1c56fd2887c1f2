#include "serial/dispatcher/io_queue.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <new>

namespace {
class EIOBufferAlloc : public std::bad_alloc {
 public:
  const char* what() const noexcept override {
    return "Insufficient memory to allocate I/O buffer.";
  }
};
}  // namespace

TDataBuffer::TDataBuffer(int32_t Size) : TIOBuffer(Size) {
  try {
    Data.reset(new uint8_t[size_t(Size)]);
  } catch (const std::bad_alloc&) {
    throw EIOBufferAlloc();
  }
  std::memset(Data.get(), 0, size_t(Size));
}

void TIOQueue::Push(std::unique_ptr<TIOBuffer> Item, bool WakeReader) {
  bool Notify;
  {
    std::lock_guard Lock(Lock_);
    Total_ += Item->Size;
    if (dynamic_cast<const TStatusBuffer*>(Item.get())) Woken_ = true;
    Items_.push_back(std::move(Item));
    Notify = Waiting_ > 0 && (WakeReader || Woken_);
  }
  // Outside the lock, so the woken reader does not block on it at once.
  if (Notify) Cv_.notify_all();
}

void TIOQueue::Wake() {
  {
    std::lock_guard Lock(Lock_);
    Woken_ = true;
  }
  Cv_.notify_all();
}

template <class Ready>
void TIOQueue::WaitLocked(std::unique_lock<std::mutex>& Lock, int TimeoutMs, Ready R) {
  if (TimeoutMs > 0 && !R()) {
    ++Waiting_;
    Cv_.wait_for(Lock, std::chrono::milliseconds(TimeoutMs), R);
    --Waiting_;
  }
  Woken_ = false;
}

bool TIOQueue::WaitForBuffer(int TimeoutMs) {
  std::unique_lock Lock(Lock_);
  WaitLocked(Lock, TimeoutMs, [this] { return !Items_.empty() || Woken_; });
  return !Items_.empty();
}

void TIOQueue::WaitForWake(int TimeoutMs) {
  std::unique_lock Lock(Lock_);
  WaitLocked(Lock, TimeoutMs, [this] { return Woken_; });
}

TIOBuffer* TIOQueue::Peek() {
  std::lock_guard Lock(Lock_);
  if (Items_.empty() || Items_.front()->InUse) return nullptr;
  Items_.front()->InUse = true;
  return Items_.front().get();
}

void TIOQueue::Release(TIOBuffer* Item) {
  std::lock_guard Lock(Lock_);
  Item->InUse = false;
}

void TIOQueue::Consume(TDataBuffer* Item, int32_t N) {
  std::lock_guard Lock(Lock_);
  Item->Read += N;
  Item->InUse = false;
  if (Item->Read < Item->Used || Items_.empty() || Items_.front().get() != Item) return;
  Total_ -= Item->Size;
  Items_.pop_front();
}

std::unique_ptr<TIOBuffer> TIOQueue::Pop() {
  std::lock_guard Lock(Lock_);
  if (Items_.empty()) return nullptr;
  std::unique_ptr<TIOBuffer> Item = std::move(Items_.front());
  Items_.pop_front();
  Total_ -= Item->Size;
  return Item;
}

uint32_t TIOQueue::TakeStatus() {
  std::lock_guard Lock(Lock_);
  if (Items_.empty() || Items_.front()->InUse) return 0;
  const auto* Status = dynamic_cast<const TStatusBuffer*>(Items_.front().get());
  if (!Status) return 0;
  const uint32_t Mask = Status->Status;
  Total_ -= Items_.front()->Size;
  Items_.pop_front();
  return Mask;
}

void TIOQueue::Clear() {
  std::lock_guard Lock(Lock_);
  std::deque<std::unique_ptr<TIOBuffer>> Kept;
  for (auto& Item : Items_) {
    if (Item->InUse) {
      Kept.push_back(std::move(Item));
    } else {
      Total_ -= Item->Size;
    }
  }
  Items_.swap(Kept);
}

int32_t TIOQueue::FirstDataAvailable() {
  std::lock_guard Lock(Lock_);
  if (Items_.empty() || Items_.front()->InUse) return 0;
  auto* Data = dynamic_cast<TDataBuffer*>(Items_.front().get());
  return Data ? Data->Used - Data->Read : 0;
}

int32_t TIOQueue::LeadingDataBytes() {
  std::lock_guard Lock(Lock_);
  int64_t Sum = 0;
  for (const auto& Item : Items_) {
    const auto* Data = dynamic_cast<const TDataBuffer*>(Item.get());
    if (!Data || Data->InUse) break;
    Sum += Data->Used - Data->Read;
  }
  return int32_t(std::min<int64_t>(Sum, INT32_MAX));
}

bool TIOQueue::Empty() {
  std::lock_guard Lock(Lock_);
  return Items_.empty();
}

int64_t TIOQueue::TotalSize() {
  std::lock_guard Lock(Lock_);
  return Total_;
}

int64_t TIOQueue::DataBytes() {
  std::lock_guard Lock(Lock_);
  int64_t Sum = 0;
  for (const auto& Item : Items_) {
    if (auto* Data = dynamic_cast<const TDataBuffer*>(Item.get())) Sum += Data->Used - Data->Read;
  }
  return Sum;
}
