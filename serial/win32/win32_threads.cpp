#include "serial/win32/win32_threads.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "serial/errors/error_codes.h"
#include "serial/win32/win32_dispatcher.h"

namespace {
// One read takes what the driver holds, up to this; the chunk queued is
// sized to the bytes read.
constexpr DWORD kReadSize = 4096;
// The status thread wakes the read thread at once for received bytes; the
// slice is the fallback for a driver that misses an event.
constexpr DWORD kReadWaitMs = 50;
// Output, flushes and the end wake the write thread at once; the slice only
// bounds how long a stop request could go unseen.
constexpr DWORD kWriteWaitMs = 100;
constexpr DWORD kSliceMs = 100;
// How long a cancelled call is given to end.
constexpr DWORD kCancelWaitMs = 2000;
constexpr DWORD kDeviceEvents = evRxChar | evCts | evDsr | evRlsd | evBreak | evErr | evRing;
constexpr DWORD kModemEvents = evCts | evDsr | evRlsd | evRing | evRing2;
}  // namespace

TRivuWin32Thread::TRivuWin32Thread(TRivuWin32Dispatcher& D) : TRivuDispatcherThread(D), Port(D) {}

bool TRivuWin32Thread::Stopping() const {
  return Abandoned_ || StopRequested() || Port.GetKillThreads();
}

TIoEnd TRivuWin32Thread::EndOf(DWORD Error) {
  if (Error == ERROR_OPERATION_ABORTED) return TIoEnd::Aborted;
  DeviceError = Error;
  Port.NoteError(Error);
  return TIoEnd::Failed;
}

int32_t TRivuWin32Thread::FailureCode(int32_t Own) const {
  if (DeviceError == ERROR_INVALID_HANDLE) return 0;
  return windev::DeviceGone(DeviceError) ? ecDeviceRead : Own;
}

std::optional<TIoEnd> TRivuWin32Thread::Outcome(OVERLAPPED& Ov, DWORD& Count) {
  if (::GetOverlappedResult(Port.Device(), &Ov, &Count, FALSE)) return TIoEnd::Done;
  const DWORD Error = ::GetLastError();
  if (Error != ERROR_IO_INCOMPLETE) return EndOf(Error);
  // Signalled before the call was done (a compatibility layer does so): wait
  // on, unless it completed in between.
  ::ResetEvent(IoEvent());
  if (!HasOverlappedIoCompleted(&Ov)) return std::nullopt;
  return Outcome(Ov, Count);
}

TIoEnd TRivuWin32Thread::Cancel(OVERLAPPED& Ov, DWORD& Count, TIoEnd Why) {
  ::CancelIo(Port.Device());  // this thread's calls on the device
  if (::WaitForSingleObject(Ov.hEvent, kCancelWaitMs) == WAIT_OBJECT_0 ||
      HasOverlappedIoCompleted(&Ov)) {
    ::GetOverlappedResult(Port.Device(), &Ov, &Count, TRUE);
    return Why;
  }
  // A driver that never ends a cancelled call would hold this thread, and
  // the close, for good. The call is left to the handle's close; its record,
  // event and buffer are kept until it has really ended, however long after
  // this thread and its dispatcher. The thread makes no further call.
  Abandoned_ = true;
  KeepUntilEnded(std::move(Call_));
  Port.SetKillThreads();
  return Why == TIoEnd::Flushed ? TIoEnd::Stopped : Why;
}

TIoEnd TRivuWin32Thread::WaitForOverlapped(OVERLAPPED& Ov, DWORD& Count) {
  const HANDLE Waits[2] = {IoEvent(), Port.KillEvent()};
  for (;;) {
    const DWORD W = ::WaitForMultipleObjects(2, Waits, FALSE, kSliceMs);
    // The record is looked at on each slice too: a compatibility layer may
    // mark the call done only after signalling its event.
    if (W == WAIT_OBJECT_0 || (W == WAIT_TIMEOUT && HasOverlappedIoCompleted(&Ov))) {
      if (const auto End = Outcome(Ov, Count)) return *End;
      continue;
    }
    if (W == WAIT_TIMEOUT && !Stopping()) continue;
    if (W == WAIT_TIMEOUT || W == WAIT_OBJECT_0 + 1) return Cancel(Ov, Count, TIoEnd::Stopped);
    DeviceError = ::GetLastError();
    return Cancel(Ov, Count, TIoEnd::Failed);
  }
}

TReadThread::TReadThread(TRivuWin32Dispatcher& D) : TRivuWin32Thread(D) {
  CallBuffer().resize(kReadSize);
}

void TReadThread::Execute() {
  Port.ThreadStart();
  int32_t Result = 0;
  if (!windev::SetReadAtOnce(Port.Device())) {
    EndOf(::GetLastError());
    Result = FailureCode(ecDeviceRead);
    Port.SetKillThreads();
  }
  const HANDLE Waits[2] = {Port.SerialEvent(), Port.KillEvent()};
  const HANDLE RoomWaits[2] = {Port.InputRoomEvent(), Port.KillEvent()};
  while (!Stopping()) {
    // Over the input limit: what arrives stays with the driver, whose
    // throttle holds the far end, until the task has read enough. A driver
    // that can no longer tell what it holds has its read report why.
    if (Port.HoldOffInput() && Port.DeviceInputQueued()) {
      if (::WaitForMultipleObjects(2, RoomWaits, FALSE, kReadWaitMs) == WAIT_FAILED) {
        Result = ecDeviceRead;
        Port.SetKillThreads();
      }
      continue;
    }
    const DWORD W = ::WaitForMultipleObjects(2, Waits, FALSE, kReadWaitMs);
    if (Stopping()) break;
    if (W == WAIT_FAILED) {
      Result = ecDeviceRead;
      Port.SetKillThreads();
      break;
    }
    // Drain the driver: only a full read can have left more behind. Each read
    // becomes one chunk of its size.
    const bool MoveHere = Port.ReaderMayMoveBytes();
    int32_t Total = 0;
    int32_t N = 0;
    bool Failed = false;
    DWORD Want = 0;
    do {
      // A read asks for no more than the driver holds: some drivers (and a
      // compatibility layer's) keep a read with nothing to take pending
      // despite the time-outs, and a pending read would hold the read lock,
      // and with it an input flush, until bytes came. A driver that cannot
      // tell gets a full read, which then reports why. Asked under the read
      // lock, so that no input flush empties the driver in between.
      const auto Lock = Port.LockRead();
      const std::optional<DWORD> Queued = Port.DeviceInputQueued();
      if (Queued && *Queued == 0) break;
      Want = kReadSize;
      if (Queued) Want = std::min(*Queued, Want);
      N = ReadSerial(Want, Failed);
      if (N <= 0) break;
      Total += N;
      try {
        auto Chunk = std::make_unique<TDataBuffer>(N);
        std::memcpy(Chunk->Data.get(), CallBuffer().data(), size_t(N));
        Chunk->Used = N;
        Port.GetQueue().Push(std::move(Chunk), !MoveHere);
      } catch (const std::bad_alloc&) {
        Result = ecNoMem;
        Port.SetKillThreads();
        break;
      }
    } while (DWORD(N) == Want && !Stopping() && !Port.HoldOffInput());
    // Outside the read lock: a flush takes the input lock before it.
    if (MoveHere && Total > 0) Port.MoveReceivedBytes();
    if (Failed) {
      Result = FailureCode(ecDeviceRead);
      Port.SetKillThreads();
    }
  }
  SetReturnValue(Result);
}

int32_t TReadThread::ReadSerial(DWORD Len, bool& Fail) {
  OVERLAPPED& Ov = NewCall();
  DWORD Count = 0;
  if (::ReadFile(Port.Device(), CallBuffer().data(), Len, &Count, &Ov)) return int32_t(Count);
  const DWORD Error = ::GetLastError();
  const TIoEnd End = Error == ERROR_IO_PENDING ? WaitForOverlapped(Ov, Count) : EndOf(Error);
  if (End == TIoEnd::Done) return int32_t(Count);
  // A read aborted by a purge is no failure: it read nothing.
  Fail = End == TIoEnd::Failed;
  return 0;
}

void TWriteThread::Execute() {
  Port.ThreadStart();
  int32_t Result = 0;
  const HANDLE Waits[3] = {Port.OutputEvent(), Port.OutFlushEvent(), Port.KillEvent()};
  while (!Stopping()) {
    if (Port.FlushPending()) {
      Port.CompleteFlush();  // no block in hand: nothing more to drop
    } else if (const auto Ticket = Port.TakeOutput(CallBuffer())) {
      const int32_t R = WriteSerial(*Ticket);
      Port.BlockDone();
      if (R != 0 || DeviceError == ERROR_INVALID_HANDLE) {
        Result = R;
        Port.SetKillThreads();
      }
    } else if (::WaitForMultipleObjects(3, Waits, FALSE, kWriteWaitMs) == WAIT_FAILED) {
      Result = ecDeviceWrite;
      Port.SetKillThreads();
    }
  }
  SetReturnValue(Result);
}

int32_t TWriteThread::WriteSerial(uint64_t Ticket) {
  Ticket_ = Ticket;
  size_t Sent = 0;
  // Taken afresh on each call: a call given up takes the buffer with it.
  while (Sent < CallBuffer().size()) {
    if (Stopping()) return 0;
    // A flush asked for after this block was taken drops the rest of it, and
    // only then purges the driver: no byte of a flushed block goes out later.
    if (Port.FlushedSince(Ticket)) {
      Port.CompleteFlush();
      return 0;
    }
    OVERLAPPED& Ov = NewCall();
    DWORD Count = 0;
    TIoEnd End = TIoEnd::Done;
    const auto& Block = CallBuffer();
    if (!::WriteFile(Port.Device(), Block.data() + Sent, DWORD(Block.size() - Sent), &Count, &Ov)) {
      const DWORD Error = ::GetLastError();
      End = Error == ERROR_IO_PENDING ? WaitForOverlapped(Ov, Count) : EndOf(Error);
    }
    switch (End) {
      case TIoEnd::Done:
        Sent += Count;
        Port.BlockWritten(Count);
        // Without write time-outs a write ends when all is sent; a driver
        // that takes nothing is given a slice before the next try.
        if (Count == 0) ::WaitForSingleObject(Port.KillEvent(), kSliceMs);
        break;
      case TIoEnd::Flushed:
        Port.CompleteFlush();
        return 0;
      case TIoEnd::Aborted:
        // A purge ended the write: the rest of the block is dropped.
        if (Port.FlushedSince(Ticket)) Port.CompleteFlush();
        return 0;
      case TIoEnd::Stopped:
        return 0;
      case TIoEnd::Failed:
        return FailureCode(ecDeviceWrite);
    }
  }
  return 0;
}

TIoEnd TWriteThread::WaitForOverlapped(OVERLAPPED& Ov, DWORD& Count) {
  const HANDLE Waits[3] = {IoEvent(), Port.KillEvent(), Port.OutFlushEvent()};
  for (;;) {
    const DWORD W = ::WaitForMultipleObjects(3, Waits, FALSE, kSliceMs);
    // The record is looked at on each slice too: a compatibility layer may
    // mark the call done only after signalling its event.
    if (W == WAIT_OBJECT_0 || (W == WAIT_TIMEOUT && HasOverlappedIoCompleted(&Ov))) {
      if (const auto End = Outcome(Ov, Count)) return *End;
      continue;
    }
    if (W == WAIT_OBJECT_0 + 2) {
      // A flush signal left from before this block was taken is no flush of it.
      if (!Port.FlushedSince(Ticket_)) continue;
      // Abort the transmission first, so that the driver sends no more of it.
      ::PurgeComm(Port.Device(), PURGE_TXABORT | PURGE_TXCLEAR);
      return Cancel(Ov, Count, TIoEnd::Flushed);
    }
    if (W == WAIT_TIMEOUT && !Stopping()) continue;
    if (W == WAIT_TIMEOUT || W == WAIT_OBJECT_0 + 1) return Cancel(Ov, Count, TIoEnd::Stopped);
    DeviceError = ::GetLastError();
    return Cancel(Ov, Count, TIoEnd::Failed);
  }
}

void TStatusThread::Execute() {
  Port.ThreadStart();
  Mask = kDeviceEvents | evRing2;
  // A driver without modem lines (a pseudo-terminal under a compatibility
  // layer) fails every wait that asks for them.
  DWORD Lines = 0;
  if (!::GetCommModemStatus(Port.Device(), &Lines)) Mask &= ~kModemEvents;
  if (!::SetCommMask(Port.Device(), Mask)) {
    Mask &= ~evRing2;
    ::SetCommMask(Port.Device(), Mask);
  }
  int32_t Result = 0;
  int Empty = 0;
  while (!Stopping()) {
    DWORD& Events = CallEvents();  // kept with the call record
    const TIoEnd End = WaitSerialEvent(Events);
    if (Stopping()) break;
    if (End == TIoEnd::Failed) {
      Result = FailureCode(ecDeviceRead);
      Port.SetKillThreads();
      break;
    }
    if (End != TIoEnd::Done || Events == 0) {
      // A purge or a mask change ends a wait early, and the next one is made
      // at once. A driver that ends every wait so (a compatibility layer's
      // pseudo-terminal) gets one wait a slice: the read thread's own slice
      // still takes what arrives, and a lost device fails its reads.
      if (++Empty > 1) ::WaitForSingleObject(Port.KillEvent(), kSliceMs);
      continue;
    }
    Empty = 0;
    if (Events & evRxChar) ::SetEvent(Port.SerialEvent());
    if ((Events & evStatusEvents) && !Port.ReportDeviceEvents(Events)) {
      Result = ecNoMem;
      Port.SetKillThreads();
    }
  }
  SetReturnValue(Result);
}

TIoEnd TStatusThread::WaitSerialEvent(DWORD& Events) {
  for (int Try = 0;; ++Try) {
    Events = 0;
    OVERLAPPED& Ov = NewCall();
    if (::WaitCommEvent(Port.Device(), &Events, &Ov)) return TIoEnd::Done;
    const DWORD Error = ::GetLastError();
    if (Error == ERROR_INVALID_PARAMETER && (Mask & evRing2) && Try == 0) {
      Mask &= ~evRing2;
      ::SetCommMask(Port.Device(), Mask);
      continue;
    }
    DWORD Count = 0;
    return Error == ERROR_IO_PENDING ? WaitForOverlapped(Ov, Count) : EndOf(Error);
  }
}
