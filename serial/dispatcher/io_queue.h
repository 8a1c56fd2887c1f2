// The I/O queue between the device layer's read and status threads and the
// dispatcher thread: a locked first-in first-out list of items.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

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
  int32_t Read = 0;  // bytes already taken; changed under the queue's lock
};

class TStatusBuffer : public TIOBuffer {
 public:
  explicit TStatusBuffer(uint32_t Status) : TIOBuffer(0), Status(Status) {}
  const uint32_t Status;  // device event mask
};

// The queue wakes its reader (the dispatcher thread) with its own lock and
// condition: a push wakes a reader waiting for items, never one that waits
// for room in the dispatch buffer, and nothing stays signalled once the
// reader has seen the items, so the reader never runs a pass without news.
class TIOQueue {
 public:
  TIOQueue() = default;
  TIOQueue(const TIOQueue&) = delete;
  TIOQueue& operator=(const TIOQueue&) = delete;

  // WakeReader false: the pusher moves the bytes on itself.
  void Push(std::unique_ptr<TIOBuffer> Item, bool WakeReader = true);
  // The first item, marked in use; nullptr when empty or already in use.
  TIOBuffer* Peek();
  // Clears the in-use mark of an item obtained from Peek.
  void Release(TIOBuffer* Item);
  // Counts N more bytes of a data item obtained from Peek as taken, under the
  // lock the byte counts are read under; pops the item once all are taken,
  // else releases it.
  void Consume(TDataBuffer* Item, int32_t N);
  std::unique_ptr<TIOBuffer> Pop();
  // Pops the first item when it is a status item no reader holds; 0 when not.
  uint32_t TakeStatus();
  // Releases every item not in use.
  void Clear();
  // Returns at once when the queue holds an item, else waits for a push or a
  // Wake; true when it holds one.
  bool WaitForBuffer(int TimeoutMs);
  // Waits for a Wake or a status item only: data pushed meanwhile cannot move
  // while the dispatch buffer is full.
  void WaitForWake(int TimeoutMs);
  void Wake();
  // Unread bytes of the first item when it is a data item no reader holds.
  int32_t FirstDataAvailable();
  // Unread bytes of the data items before the first status item.
  int32_t LeadingDataBytes();
  bool Empty();
  // Unread bytes of all data items.
  int64_t DataBytes();
  int64_t TotalSize();

 private:
  template <class Ready>
  void WaitLocked(std::unique_lock<std::mutex>& Lock, int TimeoutMs, Ready R);

  std::mutex Lock_;
  std::condition_variable Cv_;
  std::deque<std::unique_ptr<TIOBuffer>> Items_;
  int64_t Total_ = 0;
  bool Woken_ = false;  // Wake or a status item since the reader last looked
  int Waiting_ = 0;     // readers inside a wait
};
