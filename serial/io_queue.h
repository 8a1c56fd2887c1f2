// The I/O queue between the device layer's read and status threads and the
// dispatcher thread: a locked first-in first-out list of items.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "serial/event.h"

class TIOBuffer {
 public:
  explicit TIOBuffer(int32_t Size) : Size(Size) {}
  virtual ~TIOBuffer() = default;
  // Set while a reader holds the item; guarded by the queue's lock.
  bool InUse = false;
  const int32_t Size;
};

class TDataBuffer : public TIOBuffer {
 public:
  // Throws std::bad_alloc ("Insufficient memory to allocate I/O buffer.").
  explicit TDataBuffer(int32_t Size);
  std::unique_ptr<uint8_t[]> Data;
  int32_t Used = 0;  // bytes filled by the read thread
  int32_t Read = 0;  // bytes already taken
};

class TStatusBuffer : public TIOBuffer {
 public:
  explicit TStatusBuffer(uint32_t Status) : TIOBuffer(0), Status(Status) {}
  const uint32_t Status;  // device event mask
};

class TIOQueue {
 public:
  TIOQueue() = default;
  TIOQueue(const TIOQueue&) = delete;
  TIOQueue& operator=(const TIOQueue&) = delete;

  void Push(std::unique_ptr<TIOBuffer> Item);
  // The first item, marked in use; nullptr when empty or already in use.
  TIOBuffer* Peek();
  // Clears the in-use mark of an item obtained from Peek.
  void Release(TIOBuffer* Item);
  std::unique_ptr<TIOBuffer> Pop();
  // Releases every item not in use.
  void Clear();
  // Returns at once when the queue holds an item, else waits for its event.
  bool WaitForBuffer(int TimeoutMs);
  // Waits for the event only (a push, or a wake-up asked for by Wake).
  void WaitForEvent(int TimeoutMs) { Event.Wait(TimeoutMs); }
  void Wake() { Event.Set(); }
  // Unread bytes of the first item when it is a data item no reader holds.
  int32_t FirstDataAvailable();
  bool Empty();
  // Unread bytes of all data items.
  int64_t DataBytes();
  int64_t TotalSize();

 private:
  std::mutex Lock_;
  std::deque<std::unique_ptr<TIOBuffer>> Items_;
  int64_t Total_ = 0;
  TRivuEvent Event{TRivuEvent::TKind::AutoReset};
};
