#include "serial/io_queue.h"

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

void TIOQueue::Push(std::unique_ptr<TIOBuffer> Item) {
  {
    std::lock_guard Lock(Lock_);
    Total_ += Item->Size;
    Items_.push_back(std::move(Item));
  }
  Event.Set();
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

std::unique_ptr<TIOBuffer> TIOQueue::Pop() {
  std::lock_guard Lock(Lock_);
  if (Items_.empty()) return nullptr;
  std::unique_ptr<TIOBuffer> Item = std::move(Items_.front());
  Items_.pop_front();
  Total_ -= Item->Size;
  return Item;
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

bool TIOQueue::WaitForBuffer(int TimeoutMs) {
  if (!Empty()) return true;
  Event.Wait(TimeoutMs);
  return !Empty();
}

int32_t TIOQueue::FirstDataAvailable() {
  std::lock_guard Lock(Lock_);
  if (Items_.empty() || Items_.front()->InUse) return 0;
  auto* Data = dynamic_cast<TDataBuffer*>(Items_.front().get());
  return Data ? Data->Used - Data->Read : 0;
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
