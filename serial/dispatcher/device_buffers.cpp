// What every device layer does alike with the I/O queue and the output ring:
// reads out of the queue, writes into the ring, and the hand-over of output
// to the write thread with its flush tickets.
#include <algorithm>
#include <cstring>

#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/dispatcher_thread.h"

namespace {
constexpr auto kFlushAck = std::chrono::milliseconds(5000);
}  // namespace

int32_t TRivuBaseDispatcher::ReadCom(uint8_t* Buffer, int32_t Len) {
  int32_t Remaining = Len;
  while (Remaining > 0) {
    TIOBuffer* Item = Queue.Peek();
    if (!Item) break;
    auto* Data = dynamic_cast<TDataBuffer*>(Item);
    if (!Data) {
      Queue.Release(Item);  // the dispatcher thread takes status items itself
      break;
    }
    // Only the holder changes the counts, so it may read them unlocked.
    const int32_t N = std::min(Remaining, Data->Used - Data->Read);
    std::memcpy(Buffer, Data->Data.get() + Data->Read, size_t(N));
    Queue.Consume(Data, N);
    Buffer += N;
    Remaining -= N;
  }
  return Len - Remaining;
}

int32_t TRivuBaseDispatcher::WriteCom(const uint8_t* Buffer, int32_t Len) {
  {
    std::lock_guard Lock(OutLock);
    if (!OutBuf) return 0;
    const uint32_t Room = OutBufSize - OutHead;
    const uint32_t L = uint32_t(Len);
    if (L <= Room) {
      std::memcpy(OutBuf.get() + OutHead, Buffer, L);
      OutHead = L == Room ? 0 : OutHead + L;
    } else {
      std::memcpy(OutBuf.get() + OutHead, Buffer, Room);
      std::memcpy(OutBuf.get(), Buffer + Room, L - Room);
      OutHead = L - Room;
    }
  }
  WakeWriter(false);
  return Len;
}

int32_t TRivuBaseDispatcher::OutBufUsed() {
  std::lock_guard Lock(OutLock);
  if (OutFull) return int32_t(OutBufSize);
  int32_t Used = int32_t(OutHead) - int32_t(OutTail);
  if (Used < 0) Used += int32_t(OutBufSize);
  return Used;
}

std::optional<uint64_t> TRivuBaseDispatcher::TakeOutput(std::vector<uint8_t>& Block) {
  uint64_t Ticket;
  {
    std::lock_guard Lock(OutLock);
    if (!OutBuf || (!OutFull && OutHead == OutTail)) return std::nullopt;
    const uint8_t* Buf = OutBuf.get();
    if (OutHead > OutTail) {
      Block.assign(Buf + OutTail, Buf + OutHead);
    } else {
      Block.assign(Buf + OutTail, Buf + OutBufSize);
      Block.insert(Block.end(), Buf, Buf + OutHead);
    }
    OutHead = OutTail = 0;
    OutFull = false;
    InHand_ = uint32_t(Block.size());
    Ticket = FlushRequests_.load();
  }
  WakeWaiters();  // the buffer's room is free again
  return Ticket;
}

void TRivuBaseDispatcher::BlockDone() {
  InHand_ = 0;
  WakeWaiters();  // WaitTxSent waits for all output to reach the driver
}

void TRivuBaseDispatcher::CompleteFlush() {
  // Everything asked for up to now is covered: the buffer was emptied by each
  // flush, the block in hand is dropped by the caller.
  const uint64_t Covered = FlushRequests_.load();
  // Before the acknowledgement: a flush that returned must not still count
  // the dropped block as output waiting.
  InHand_ = 0;
  LastPurge_ = PurgeDriverOutput() ? 1 : 0;
  FlushAcks_ = Covered;
  WakeWaiters();
}

int32_t TRivuBaseDispatcher::FlushOutput() {
  TRivuDispatcherThread* const Writer = Writer_.load();
  if (!Writer || !Writer->Running()) return 0;
  // The ticket is taken with the buffer emptied, so a block the write thread
  // takes afterwards is new output and is not dropped.
  uint64_t Ticket;
  {
    std::lock_guard Lock(OutLock);
    OutFull = false;
    OutHead = OutTail = 0;
    Ticket = ++FlushRequests_;
  }
  // Each flush waits for an acknowledgement that covers its own ticket, so two
  // threads flushing at once cannot take each other's.
  WakeWriter(true);
  using namespace std::chrono;
  const auto Deadline = steady_clock::now() + kFlushAck;
  std::unique_lock Lock(WaitMutex);
  while (FlushAcks_.load() < Ticket) {
    // A write thread that ends meanwhile will never acknowledge.
    if (!Writer->Running() || KillThreads || steady_clock::now() >= Deadline) break;
    WaitCv.wait_for(Lock, milliseconds(20));
  }
  return LastPurge_.load();
}
