// The dispatcher thread: I/O queue -> dispatch buffer, modem and line status,
// receive triggers and the avail notification.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/dispatcher_thread.h"

namespace {
// Timer and status triggers, and triggers with someone to tell, are looked
// at on a 50 ms beat; with none of them the thread only waits for news.
constexpr int kQueueWaitMs = 50;
constexpr int kIdleQueueWaitMs = 500;
}  // namespace

int TRivuBaseDispatcher::QueueWaitMs() {
  std::lock_guard DLock(DispLock);
  const bool Beat = !TimerTriggers.empty() || !StatusTriggers.empty() || HasListenersLocked();
  return Beat ? kQueueWaitMs : kIdleQueueWaitMs;
}

bool TRivuBaseDispatcher::HasListenersLocked() const {
  // The component's own window alone is skipped while its port handler is off.
  return !EventHandlers.empty() || !ProcHandlers.empty() || WndHandlers.size() > 1 || PortHandlerOn;
}

int32_t TRivuBaseDispatcher::RunDispatcherThread() {
  bool AfterPass = false;
  for (;;) {
    bool Stalled;
    {
      std::lock_guard Lock(InLock);
      Stalled = DispFull && Wakes.WaitingForRoom();
    }
    Wakes.WaitForNews(Stalled, QueueWaitMs());
    if (KillThreads) break;
    OnePass();
    TimerStatusPass();
    if (KillThreads || DonePending) {
      AfterPass = true;
      break;
    }
  }
  if (AfterPass) GeneralEvent.Set();
  return 0;
}

void TRivuBaseDispatcher::OnePass() {
  // Taken in one step: a flush must never find a data chunk marked in use
  // just because this pass was looking at it.
  CurEvent = Queue.TakeStatus();
  if (CurEvent & (evRing | evRing2)) RingSeen = true;

  auto CheckStatus = [this] {
    if (Notifying) return true;
    while (CheckStatusTriggers()) {
      if (DonePending) return false;
    }
    if (StatusHit) ClearStatusHits();
    return true;
  };

  if (CurEvent & (evCts | evDsr | evRlsd | evRing | evRing2)) {
    GetModemStatusPrim(0xFF);  // records the deltas for the user
    if (!CheckStatus()) return;
  }
  if ((CurEvent & 0xFF) & (evBreak | evErr)) {
    RefreshStatus();
    if (!CheckStatus()) return;
  }

  ExtractData();

  if (!Notifying) {
    bool AnyStatusTrigger;
    {
      std::lock_guard Lock(DispLock);
      AnyStatusTrigger = !StatusTriggers.empty();
    }
    if (AnyStatusTrigger) {
      // Reads the lines for the status triggers without taking the delta
      // bits away from the user's GetModemStatus.
      GetModemStatusPrim(0xFF);
      while (CheckStatusTriggers()) {
        if (DonePending) return;
      }
    }
    while (CheckReceiveTriggers()) {
      if (DonePending) return;
    }
  }
  if (StatusHit) ClearStatusHits();
}

void TRivuBaseDispatcher::TimerStatusPass() {
  if (DonePending || Notifying) return;
  StatusHit = false;
  for (;;) {
    const bool S = CheckStatusTriggers();
    const bool T = CheckTimerTriggers();
    if ((!S && !T) || DonePending) break;
  }
  if (StatusHit) ClearStatusHits();
}

bool TRivuBaseDispatcher::ReaderMayMoveBytes() {
  if (Notifying) return false;
  std::lock_guard DLock(DispLock);
  // With nobody to deliver to, a notification changes nothing that can be
  // seen; the dispatcher thread still runs its trigger passes on its beat.
  return !HasListenersLocked() ||
         (DataTriggers.empty() && StatusTriggers.empty() && AvailTriggerLen == 0);
}

// The bytes just stored behind DispHead, as one log entry (input lock held).
void TRivuBaseDispatcher::LogReceived(uint32_t Count) {
  std::vector<uint8_t> Bytes(Count);
  const uint32_t Start = (DispHead + DispatchBufferSize - Count) % DispatchBufferSize;
  const uint32_t First = std::min(Count, DispatchBufferSize - Start);
  std::memcpy(Bytes.data(), DispBuf.get() + Start, First);
  std::memcpy(Bytes.data() + First, DispBuf.get(), Count - First);
  DLog.AddDispatchEntry(dtDispatch, dstReadCom, Count, Bytes.data(), Count);
}

// The ring is full (input lock held): queued bytes wait for room, and the
// stall is logged once.
void TRivuBaseDispatcher::StallLocked() {
  Wakes.Stalled();
  if (!DLog.DLoggingOn() || InQueueUsed() <= 0 || !Wakes.FullLineDue()) return;
  static constexpr char kFull[] = "Dispatch buffer full.";
  DLog.AddDispatchEntry(dtDispatch, dstStatus, 0, kFull, sizeof kFull - 1);
}

bool TRivuBaseDispatcher::ExtractData() {
  bool Moved = false;
  {
    std::lock_guard Lock(InLock);
    if (!DispBuf) return false;
    if (DispFull) {
      StallLocked();
      return true;
    }
    const int32_t N = InQueueUsed();
    {
      std::lock_guard SLock(StatusMutex);
      ComStat.InQue = uint32_t(std::max(N, 0));
    }
    if (N <= 0) return false;

    uint32_t Free, Contig;
    if (DispHead == DispTail) {
      Free = DispatchBufferSize;
      Contig = DispatchBufferSize - DispHead;
    } else if (DispTail < DispHead) {
      Free = DispTail + DispatchBufferSize - DispHead;
      Contig = DispatchBufferSize - DispHead;
    } else {
      Free = Contig = DispTail - DispHead;
    }
    const uint32_t Amount = std::min(Free, uint32_t(N));
    uint32_t Second = Amount > Contig ? Amount - Contig : 0;

    int32_t R1 = 0;
    if (Contig != 0) {
      R1 = std::max(ReadCom(DispBuf.get() + DispHead, int32_t(Contig)), 0);
      DispHead += uint32_t(R1);
      if (uint32_t(R1) < Contig) Second = 0;
    }
    if (DispHead == DispatchBufferSize) DispHead = 0;
    if (R1 != 0) DispFull = DispHead == DispTail;
    // One log entry a read, also where the ring wraps between two.
    if (R1 > 0 && DLog.DLoggingOn()) LogReceived(uint32_t(R1));
    int32_t R2 = 0;
    if (Second != 0) {
      R2 = std::max(ReadCom(DispBuf.get() + DispHead, int32_t(Second)), 0);
      DispHead += uint32_t(R2);
      DispFull = DispHead == DispTail;
    }
    if (R2 > 0 && DLog.DLoggingOn()) LogReceived(uint32_t(R2));
    Moved = R1 + R2 > 0;
    if (DispFull) StallLocked();
  }
  if (Moved) WakeWaiters();
  return true;
}

bool TRivuBaseDispatcher::CheckReceiveTriggers() {
  // ScanPos and LastNotifyPos belong to the dispatcher thread.
  std::vector<int32_t> Fired;  // the triggers the byte completes, in the order added
  uint32_t BeforeMatch = 0;    // buffered bytes ahead of the first match
  {
    std::lock_guard Lock(InLock);
    if (!DispBuf) return false;
    std::lock_guard DLock(DispLock);
    if (DataTriggers.empty()) ScanPos = DispHead;
    while (ScanPos != DispHead && Fired.empty()) {
      const uint8_t B = DispBuf[ScanPos];
      ScanPos = (ScanPos + 1) % DispatchBufferSize;
      // Every trigger takes the byte: each one that completes on it is told.
      for (auto& T : DataTriggers) {
        if (!T.Take(B)) continue;
        if (Fired.empty()) {
          const uint32_t Unscanned = (DispHead + DispatchBufferSize - ScanPos) % DispatchBufferSize;
          const uint32_t Scanned = CountLocked() - Unscanned;
          BeforeMatch = Scanned > T.Data.size() ? Scanned - uint32_t(T.Data.size()) : 0;
        }
        Fired.push_back(T.Handle);
      }
    }
  }
  uint32_t Threshold;
  {
    std::lock_guard DLock(DispLock);
    Threshold = AvailTriggerLen;
  }
  if (!Fired.empty()) {
    // The bytes before the match are told first, when there are enough.
    if (Threshold != 0 && BeforeMatch >= Threshold) {
      LogEvent(dtTrigger, dstAvail, BeforeMatch);
      SendNotify(nmTriggerAvail, BeforeMatch, 0);
    }
    for (const int32_t Handle : Fired) {
      if (DonePending) break;
      LogEvent(dtTrigger, dstData, uint32_t(Handle));
      SendNotify(nmTriggerData, uint32_t(Handle), 0);
    }
    return true;  // scan on past the match
  }
  const uint32_t Used = uint32_t(InBuffUsed());
  if (Threshold == 0 || LastNotifyPos == ScanPos || Used < Threshold) return false;
  LogEvent(dtTrigger, dstAvail, Used);
  const bool R = SendNotify(nmTriggerAvail, Used, 0);
  LastNotifyPos = ScanPos;
  return R;
}
