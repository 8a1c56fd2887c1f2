// Notification delivery, handler registration and triggers.
#include <algorithm>
#include <cctype>
#include <climits>

#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace {
constexpr int kWindowSendTimeoutMs = 3000;
constexpr auto kTick = std::chrono::milliseconds(55);

// A window is named in the log by the low half of its address.
uint32_t WindowId(const TNotifyWindow* Window) {
  return uint32_t(reinterpret_cast<uintptr_t>(Window));
}
}  // namespace

void TRivuBaseDispatcher::LogEvent(TDispatchType Type, TDispatchSubType SubType, uint32_t Data,
                                   const void* Bytes, uint32_t Len) {
  if (DLog.DLoggingOn()) DLog.AddDispatchEntry(Type, SubType, Data, Bytes, Len);
}

// A status trigger carries its kind as its one byte, a data trigger its
// string; a timer trigger has no bytes.
void TRivuBaseDispatcher::LogTrigger(TDispatchType Type, int32_t Handle, const std::string* Data) {
  if (!DLog.DLoggingOn()) return;
  if (Data) {
    LogEvent(Type, dstDataTrigger, uint32_t(Handle), Data->data(), uint32_t(Data->size()));
  } else if (const uint8_t Kind = uint8_t(Handle & 7)) {
    LogEvent(Type, dstStatusTrigger, uint32_t(Handle), &Kind, 1);
  } else {
    LogEvent(Type, dstTimerTrigger, uint32_t(Handle));
  }
}

// One notification, in four steps: begin the delivery (deferred consumption
// on for avail and data notifications), hand it to the event handlers, the
// procedure handlers and the windows in that order, then end it (the bytes
// the handlers read are consumed, the handler lists tidied). False when a
// handler closed the port, or an avail handler did not read what it was told.
bool TRivuBaseDispatcher::SendNotify(uint32_t Msg, uint32_t Trigger, uint32_t Data) {
  if (!HandlersNeeded) return true;
  BeginDelivery(Msg);
  const uint32_t Param = (uint32_t(PortIndex_) << 16) + Data;
  const bool Delivered = DeliverToEventHandlers(Msg, Trigger, Param) &&
                         DeliverToProcHandlers(Msg, Trigger, Param) &&
                         DeliverToWindows(Msg, Trigger, Param);
  return EndDelivery(Msg, Trigger, Delivered);
}

void TRivuBaseDispatcher::BeginDelivery(uint32_t Msg) {
  {
    std::lock_guard Lock(DispLock);
    Notifying = true;
  }
  std::lock_guard Lock(InLock);
  View.Begin(Msg == nmTriggerAvail || Msg == nmTriggerData);
}

// The handler was picked, and View.Next told of it, under the input and
// dispatcher locks: a window deregistered after that is waited for.
bool TRivuBaseDispatcher::DeliverOne(const std::function<void()>& Call) {
  Call();
  // A handler that closed the port ends the delivery: nothing more is
  // delivered or taken.
  const bool Closed = DonePending.load();
  bool ToWindow;
  {
    std::lock_guard Lock(InLock);
    ToWindow = View.Window() != nullptr;
    View.Returned(Closed);
  }
  if (ToWindow) WakeWaiters();  // a deregistering thread may wait for it
  return !Closed;
}

bool TRivuBaseDispatcher::DeliverToEventHandlers(uint32_t Msg, uint32_t Trigger, uint32_t Param) {
  for (size_t I = 0;; ++I) {
    TTriggerHandlerEvent Event;
    TNotifyWindow* Sync = nullptr;
    {
      std::lock_guard In(InLock);
      std::lock_guard Lock(DispLock);
      if (I >= EventHandlers.size()) return true;
      if (EventHandlers[I].Deleted) continue;
      Event = EventHandlers[I].Event;
      Sync = EventHandlers[I].SyncWindow.get();
      View.Next(Sync);
    }
    const bool Going = DeliverOne([&] {
      if (Sync) {
        Sync->Send(Msg, Trigger, intptr_t(Param), INT_MAX);
      } else {
        Event(Msg, Trigger, Param);
      }
    });
    if (!Going) return false;
  }
}

bool TRivuBaseDispatcher::DeliverToProcHandlers(uint32_t Msg, uint32_t Trigger, uint32_t Param) {
  for (size_t I = 0;; ++I) {
    TTriggerProc Proc;
    {
      std::lock_guard In(InLock);
      std::lock_guard Lock(DispLock);
      if (I >= ProcHandlers.size()) return true;
      if (ProcHandlers[I].Deleted) continue;
      Proc = ProcHandlers[I].Proc;
      View.Next(nullptr);
    }
    if (!DeliverOne([&] { Proc(Msg, Trigger, Param); })) return false;
  }
}

bool TRivuBaseDispatcher::DeliverToWindows(uint32_t Msg, uint32_t Trigger, uint32_t Param) {
  {
    // The component's own window alone is skipped while its port handler is off.
    std::lock_guard Lock(DispLock);
    if (WndHandlers.size() <= 1 && !PortHandlerOn) return true;
  }
  for (size_t I = 0;; ++I) {
    TNotifyWindow* Window;
    {
      std::lock_guard In(InLock);
      std::lock_guard Lock(DispLock);
      if (I >= WndHandlers.size()) return true;
      if (WndHandlers[I].Deleted) continue;
      Window = WndHandlers[I].Window;
      View.Next(Window);
    }
    const bool Going =
        DeliverOne([&] { Window->Send(Msg, Trigger, intptr_t(Param), kWindowSendTimeoutMs); });
    if (!Going) return false;
  }
}

bool TRivuBaseDispatcher::EndDelivery(uint32_t Msg, uint32_t Trigger, bool Delivered) {
  bool Result = Delivered;
  {
    std::lock_guard Lock(InLock);
    // Deferred consumption: what the most reading handler read is taken.
    const uint32_t Taken = View.End();
    if (Delivered && DispBuf && Taken != 0) {
      DispTail = (DispTail + Taken) % DispatchBufferSize;
      FreeRoomLocked();
    }
    if (Delivered && Msg == nmTriggerAvail && Taken != Trigger) Result = false;
  }
  std::lock_guard Lock(DispLock);
  Notifying = false;
  if (HandlerListDirty) {
    std::erase_if(WndHandlers, [](const TWndHandler& H) { return H.Deleted; });
    std::erase_if(ProcHandlers, [](const TProcHandler& H) { return H.Deleted; });
    std::erase_if(EventHandlers, [](const TEventHandler& H) { return H.Deleted; });
    HandlerListDirty = false;
    UpdateHandlerFlags(fuKeepPort);
  }
  return Result;
}

// --- Handlers ---

int32_t TRivuBaseDispatcher::RegisterWndTriggerHandler(TNotifyWindow* Window) {
  std::lock_guard Lock(DispLock);
  WndHandlers.push_back({Window});
  HandlersNeeded = true;
  Queue.Wake();  // the dispatcher thread's beat may change
  LogEvent(dtTriggerHandlerAlloc, dstWndHandler, WindowId(Window));
  return 0;
}

int32_t TRivuBaseDispatcher::RegisterProcTriggerHandler(TTriggerProc Proc) {
  std::lock_guard Lock(DispLock);
  ProcHandlers.push_back({Proc});
  HandlersNeeded = true;
  Queue.Wake();
  LogEvent(dtTriggerHandlerAlloc, dstProcHandler, 0);
  return 0;
}

int32_t TRivuBaseDispatcher::RegisterEventTriggerHandler(const void* Key,
                                                         TTriggerHandlerEvent Event) {
  std::lock_guard Lock(DispLock);
  EventHandlers.push_back({Key, std::move(Event), nullptr});
  HandlersNeeded = true;
  Queue.Wake();
  LogEvent(dtTriggerHandlerAlloc, dstEventHandler, 0);
  return 0;
}

int32_t TRivuBaseDispatcher::RegisterSyncEventTriggerHandler(const void* Key,
                                                             TTriggerHandlerEvent Event) {
  auto Window = Platform_.CreateNotifyWindow([Event](uint32_t Msg, uintptr_t W, intptr_t L) {
    Event(Msg, uint32_t(W), uint32_t(L));
    return intptr_t(0);
  });
  std::lock_guard Lock(DispLock);
  EventHandlers.push_back({Key, std::move(Event), std::move(Window)});
  HandlersNeeded = true;
  Queue.Wake();
  LogEvent(dtTriggerHandlerAlloc, dstEventHandler, 1);
  return 0;
}

namespace {
// Removes the matching entries at once, or marks them while a delivery runs.
template <class TList, class TPred>
bool DropHandlers(TList& List, TPred Matches, bool Notifying, bool& Dirty) {
  bool Found = false;
  for (auto& H : List) {
    if (Matches(H)) {
      H.Deleted = true;
      Found = true;
    }
  }
  if (Found && Notifying) {
    Dirty = true;
  } else {
    std::erase_if(List, [](const auto& H) { return H.Deleted; });
  }
  return Found;
}
}  // namespace

int32_t TRivuBaseDispatcher::DeregisterWndTriggerHandler(TNotifyWindow* Window) {
  {
    std::lock_guard Lock(DispLock);
    if (DropHandlers(
            WndHandlers, [Window](const TWndHandler& H) { return H.Window == Window; }, Notifying,
            HandlerListDirty)) {
      LogEvent(dtTriggerHandlerDispose, dstWndHandler, WindowId(Window));
    }
    UpdateHandlerFlags(fuKeepPort);
  }
  // The caller may free the window once this returns: a delivery already
  // sent to it ends first. Inside that delivery (the window's own message)
  // it cannot end first, and the window is the caller's to keep meanwhile.
  // The window's thread may be the calling one: its messages run meanwhile.
  auto Done = [&] {
    std::lock_guard Lock(InLock);
    return View.Window() != Window || Window->RunningHere();
  };
  if (!Done()) WaitProcessingEvents(Done, -1);
  return 0;
}

int32_t TRivuBaseDispatcher::DeregisterProcTriggerHandler(TTriggerProc Proc) {
  std::lock_guard Lock(DispLock);
  if (DropHandlers(
          ProcHandlers, [Proc](const TProcHandler& H) { return H.Proc == Proc; }, Notifying,
          HandlerListDirty)) {
    LogEvent(dtTriggerHandlerDispose, dstProcHandler, 0);
  }
  UpdateHandlerFlags(fuKeepPort);
  return 0;
}

int32_t TRivuBaseDispatcher::DeregisterEventTriggerHandler(const void* Key) {
  std::lock_guard Lock(DispLock);
  bool Synced = false;
  for (const auto& H : EventHandlers) Synced |= H.Key == Key && H.SyncWindow != nullptr;
  if (DropHandlers(
          EventHandlers, [Key](const TEventHandler& H) { return H.Key == Key; }, Notifying,
          HandlerListDirty)) {
    LogEvent(dtTriggerHandlerDispose, dstEventHandler, Synced ? 1 : 0);
  }
  UpdateHandlerFlags(fuKeepPort);
  return 0;
}

void TRivuBaseDispatcher::UpdateHandlerFlags(THandlerFlagKind Kind) {
  std::lock_guard Lock(DispLock);
  const bool Others = WndHandlers.size() > 1 || !ProcHandlers.empty() || !EventHandlers.empty();
  switch (Kind) {
    case fuKeepPort:
      HandlersNeeded = Others || PortHandlerOn;
      break;
    case fuEnablePort:
      PortHandlerOn = true;
      HandlersNeeded = true;
      Queue.Wake();  // the dispatcher thread's beat may change
      break;
    case fuDisablePort:
      PortHandlerOn = false;
      HandlersNeeded = Others;
      break;
  }
}

// --- Triggers ---

void TRivuBaseDispatcher::ChangeLengthTrigger(uint32_t Length) {
  std::lock_guard Lock(DispLock);
  AvailTriggerLen = Length;
  LogEvent(dtTriggerDataChange, dstAvailTrigger, Length);
}

int32_t TRivuBaseDispatcher::NewTriggerHandle() {
  return NextTriggerHandle++ * 8;
}

namespace {

bool SameByte(bool IgnoreCase, uint8_t A, uint8_t B) {
  return IgnoreCase ? std::tolower(A) == std::tolower(B) : A == B;
}

}  // namespace

TDataTrigger::TDataTrigger(int32_t Handle, std::string Data, bool IgnoreCase)
    : Handle(Handle), Data(std::move(Data)), IgnoreCase(IgnoreCase), Fallback(this->Data.size()) {
  for (size_t I = 1, K = 0; I < this->Data.size(); ++I) {
    while (K > 0 && !SameByte(IgnoreCase, uint8_t(this->Data[I]), uint8_t(this->Data[K]))) {
      K = Fallback[K - 1];
    }
    if (SameByte(IgnoreCase, uint8_t(this->Data[I]), uint8_t(this->Data[K]))) ++K;
    Fallback[I] = K;
  }
}

bool TDataTrigger::Take(uint8_t B) {
  while (Matched > 0 && !SameByte(IgnoreCase, B, uint8_t(Data[Matched]))) {
    Matched = Fallback[Matched - 1];
  }
  if (SameByte(IgnoreCase, B, uint8_t(Data[Matched]))) ++Matched;
  if (Matched < Data.size()) return false;
  Matched = 0;  // the next match starts after this one
  return true;
}

int32_t TRivuBaseDispatcher::AddDataTrigger(std::string_view Data, bool IgnoreCase) {
  if (Data.empty()) return ecBadArgument;
  if (Data.size() > 255) return ecTriggerTooLong;
  std::lock_guard Lock(DispLock);
  const int32_t Handle = NewTriggerHandle();
  DataTriggers.emplace_back(Handle, std::string(Data), IgnoreCase);
  LogTrigger(dtTriggerAlloc, Handle, &DataTriggers.back().Data);
  return Handle;
}

int32_t TRivuBaseDispatcher::AddTimerTrigger() {
  std::lock_guard Lock(DispLock);
  const int32_t Handle = NewTriggerHandle();
  TimerTriggers.push_back({Handle, 0, false, {}});
  LogTrigger(dtTriggerAlloc, Handle);
  return Handle;
}

int32_t TRivuBaseDispatcher::AddStatusTrigger(uint16_t Kind) {
  if (Kind < stModem || Kind > stOutSent) return ecBadArgument;
  std::lock_guard Lock(DispLock);
  const int32_t Handle = NewTriggerHandle() | Kind;
  StatusTriggers.push_back({Handle, Kind, 0, false, false});
  LogTrigger(dtTriggerAlloc, Handle);
  return Handle;
}

int32_t TRivuBaseDispatcher::RemoveTrigger(int32_t Handle) {
  std::lock_guard Lock(DispLock);
  auto Has = [Handle](const auto& T) { return T.Handle == Handle; };
  const auto Data = std::find_if(DataTriggers.begin(), DataTriggers.end(), Has);
  if (Data != DataTriggers.end()) {
    LogTrigger(dtTriggerDispose, Handle, &Data->Data);
    DataTriggers.erase(Data);
    return 0;
  }
  if (std::erase_if(TimerTriggers, Has) + std::erase_if(StatusTriggers, Has) == 0) {
    return ecBadTriggerHandle;
  }
  LogTrigger(dtTriggerDispose, Handle);
  return 0;
}

int32_t TRivuBaseDispatcher::SetTimerTrigger(int32_t Handle, int32_t Ticks, bool Activate) {
  std::lock_guard Lock(DispLock);
  for (auto& T : TimerTriggers) {
    if (T.Handle != Handle) continue;
    T.Ticks = Ticks;
    T.Active = Activate;
    T.Due = std::chrono::steady_clock::now() + Ticks * kTick;
    Queue.Wake();
    // The new time, in ticks, as its four bytes, lowest first.
    const uint8_t Time[4] = {uint8_t(Ticks), uint8_t(Ticks >> 8), uint8_t(Ticks >> 16),
                             uint8_t(Ticks >> 24)};
    LogEvent(dtTriggerDataChange, dstTimerTrigger, uint32_t(Handle), Time, 4);
    return 0;
  }
  return ecBadTriggerHandle;
}

int32_t TRivuBaseDispatcher::SetStatusTrigger(int32_t Handle, uint32_t Value, bool Activate) {
  std::lock_guard Lock(DispLock);
  for (auto& T : StatusTriggers) {
    if (T.Handle != Handle) continue;
    T.Value = Value;
    T.Active = Activate;
    T.Hit = false;
    if (T.Kind == stOutSent) OutSentPending = false;
    Queue.Wake();
    LogTrigger(dtTriggerDataChange, Handle);
    return 0;
  }
  return ecBadTriggerHandle;
}

int32_t TRivuBaseDispatcher::RemoveAllTriggers() {
  std::lock_guard Lock(DispLock);
  for (const auto& T : DataTriggers) LogTrigger(dtTriggerDispose, T.Handle, &T.Data);
  for (const auto& T : TimerTriggers) LogTrigger(dtTriggerDispose, T.Handle);
  for (const auto& T : StatusTriggers) LogTrigger(dtTriggerDispose, T.Handle);
  DataTriggers.clear();
  TimerTriggers.clear();
  StatusTriggers.clear();
  AvailTriggerLen = 0;
  NextTriggerHandle = 1;
  return 0;
}

void TRivuBaseDispatcher::SaveTriggers(TTriggerSave& Save) {
  std::lock_guard Lock(DispLock);
  ClearSaveBuffers(Save);
  Save.LenTrigger = AvailTriggerLen;
  Save.Timers = TimerTriggers;
  Save.Datas = DataTriggers;
  Save.Statuses = StatusTriggers;
}

void TRivuBaseDispatcher::RestoreTriggers(const TTriggerSave& Save) {
  std::lock_guard Lock(DispLock);
  AvailTriggerLen = Save.LenTrigger;
  TimerTriggers = Save.Timers;
  DataTriggers = Save.Datas;
  StatusTriggers = Save.Statuses;
}

void TRivuBaseDispatcher::ClearSaveBuffers(TTriggerSave& Save) {
  Save = TTriggerSave{};
}

void TRivuBaseDispatcher::ClearStatusHits() {
  std::lock_guard Lock(DispLock);
  for (auto& T : StatusTriggers) T.Hit = false;
  StatusHit = false;
}

bool TRivuBaseDispatcher::CheckStatusTriggers() {
  std::vector<TStatusTrigger> Armed;
  {
    std::lock_guard Lock(DispLock);
    for (const auto& T : StatusTriggers) {
      if (T.Active && !T.Hit) Armed.push_back(T);
    }
  }
  for (const auto& T : Armed) {
    bool Fire = false;
    switch (T.Kind) {
      case stModem: {
        std::lock_guard Lock(DispLock);
        const uint32_t Deltas = ModemStatus & 0x0F;
        Fire = T.Value ? (Deltas & T.Value) != 0 : Deltas != 0;
        break;
      }
      case stLine:
        Fire = LineErrors.load() != 0;
        break;
      case stOutFree:
        Fire = uint32_t(OutBuffFree()) >= T.Value;
        break;
      case stOutUsed:
        Fire = uint32_t(OutBuffUsed()) <= T.Value;
        break;
      case stOutSent:
        Fire = OutSentPending && OutputPending() == 0;
        if (Fire) OutSentPending = false;
        break;
    }
    if (!Fire) continue;
    {
      std::lock_guard Lock(DispLock);
      for (auto& S : StatusTriggers) {
        if (S.Handle == T.Handle) {
          S.Hit = true;
          S.Active = false;
        }
      }
      StatusHit = true;
    }
    LogEvent(dtTrigger, dstStatus, uint32_t(T.Handle));
    SendNotify(nmTriggerStatus, uint32_t(T.Handle), 0);
    return true;
  }
  return false;
}

bool TRivuBaseDispatcher::CheckTimerTriggers() {
  int32_t Fired = 0;
  {
    std::lock_guard Lock(DispLock);
    const auto Now = std::chrono::steady_clock::now();
    for (auto& T : TimerTriggers) {
      if (T.Active && T.Due <= Now) {
        T.Active = false;
        Fired = T.Handle;
        break;
      }
    }
  }
  if (!Fired) return false;
  LogEvent(dtTrigger, dstTimer, uint32_t(Fired));
  SendNotify(nmTriggerTimer, uint32_t(Fired), 0);
  return true;
}

// --- Modem status and line errors ---

uint8_t TRivuBaseDispatcher::GetModemStatusPrim(uint8_t ClearMask) {
  const uint8_t Lines = GetComModemLines();
  std::lock_guard Lock(DispLock);
  // The deltas are changes since the last reading, whoever read: a change
  // the user happens to see before the status thread reports it keeps its
  // delta bit. CTS, DSR and DCD on any change; RING on its trailing edge.
  const uint8_t Was = uint8_t(ModemStatus);
  uint8_t Deltas = uint8_t(((Lines ^ Was) & 0xB0) >> 4);
  if (Was & ~Lines & 0x40) Deltas |= 0x04;
  uint8_t Status = uint8_t((Lines & 0xF0) | (Was & 0x0F) | Deltas);
  if (RingSeen.exchange(false)) Status |= 0x04;
  Status |= LinePulses.exchange(0);
  ModemStatus = Status & ClearMask;
  return Status;
}

int32_t TRivuBaseDispatcher::GetLineError() {
  std::lock_guard Lock(DispLock);
  const uint32_t Bits = LineErrors.load();
  static constexpr struct {
    uint32_t Bit;
    int32_t Code;
  } kOrder[] = {{leOverflow, 1}, {leOverrun, 2}, {leParity, 3}, {leFraming, 4}, {leBreak, 9}};
  for (const auto& E : kOrder) {
    if (Bits & E.Bit) {
      LineErrors.fetch_and(~uint32_t(0x0F));
      return E.Code;
    }
  }
  return 0;
}

bool TRivuBaseDispatcher::CheckLineBreak() {
  std::lock_guard Lock(DispLock);
  return (LineErrors.fetch_and(~leBreak) & leBreak) != 0;
}
