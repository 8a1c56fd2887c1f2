#include "serial/dispatcher/dispatcher.h"

#include <algorithm>
#include <cstring>

#include "serial/dispatcher/dispatcher_thread.h"
#include "serial/errors/error_codes.h"

namespace {

std::recursive_mutex PortListLock;
std::vector<TRivuBaseDispatcher*> PortList;
int32_t CachedIndex = -1;
TRivuBaseDispatcher* CachedPtr = nullptr;

}  // namespace

// --- Port list ---

void TRivuBaseDispatcher::LockPortList() {
  PortListLock.lock();
}
void TRivuBaseDispatcher::UnlockPortList() {
  PortListLock.unlock();
}

TRivuBaseDispatcher* TRivuBaseDispatcher::GetTComRecPtr(int32_t Index) {
  std::lock_guard Lock(PortListLock);
  if (Index == CachedIndex && CachedPtr) return CachedPtr;
  if (Index < 0 || size_t(Index) >= PortList.size() || !PortList[Index]) return nullptr;
  CachedIndex = Index;
  CachedPtr = PortList[Index];
  return CachedPtr;
}

// --- Lifetime ---

TRivuBaseDispatcher::TRivuBaseDispatcher(TDispatcherOwner* Owner, TSerialPlatform* Platform)
    : Owner_(Owner), Platform_(Platform ? *Platform : SerialPlatform()) {
  std::lock_guard Lock(PortListLock);
  auto Free = std::find(PortList.begin(), PortList.end(), nullptr);
  if (Free != PortList.end()) {
    *Free = this;
    PortIndex_ = int32_t(Free - PortList.begin());
  } else {
    PortList.push_back(this);
    PortIndex_ = int32_t(PortList.size() - 1);
  }
}

TRivuBaseDispatcher::~TRivuBaseDispatcher() {
  std::lock_guard Lock(PortListLock);
  PortList[PortIndex_] = nullptr;
  while (!PortList.empty() && !PortList.back()) PortList.pop_back();
  if (CachedPtr == this) {
    CachedPtr = nullptr;
    CachedIndex = -1;
  }
}

void TRivuBaseDispatcher::Shutdown() {
  if (DonePending) {
    DonePortPrim();
  } else {
    DonePort();
  }
  WaitProcessingEvents([this] { return ThreadCount.load() == 0; }, -1);
  for (auto* T : {&ReadThread, &DispThread, &WriteThread, &StatusThread}) {
    if (*T) (*T)->Join();
  }
}

bool TRivuBaseDispatcher::WaitProcessingEvents(const std::function<bool()>& Done, int TimeoutMs) {
  using namespace std::chrono;
  const auto Deadline = steady_clock::now() + milliseconds(TimeoutMs < 0 ? 0 : TimeoutMs);
  for (;;) {
    Platform_.ProcessPendingEvents();
    if (Done()) return true;
    if (TimeoutMs >= 0 && steady_clock::now() >= Deadline) return false;
    std::unique_lock Lock(WaitMutex);
    const uint64_t Gen = WaitGeneration;
    // The slice lets window messages posted to this thread run while it waits.
    WaitCv.wait_for(Lock, milliseconds(5), [&] { return WaitGeneration != Gen; });
  }
}

void TRivuBaseDispatcher::WakeWaiters() {
  std::lock_guard Lock(WaitMutex);
  ++WaitGeneration;
  WaitCv.notify_all();
}

void TRivuBaseDispatcher::DonePort() {
  if (ComHandle.load() >= 0) {
    FlushOutBuffer();
    FlushInBuffer();
    CloseCom();
  }
  if (Notifying) {
    // Called from a handler: the dispatcher thread releases as it ends.
    DonePending = true;
    Queue.Wake();
    return;
  }
  DonePortPrim();
}

void TRivuBaseDispatcher::DonePortPrim() {
  DoneOnDispExit = false;
  if (DispatcherActive) StopDispatcher();
  ReleaseBuffers();
}

void TRivuBaseDispatcher::ReleaseBuffers() {
  {
    std::lock_guard Lock(InLock);
    DispBuf.reset();
    DispHead = DispTail = 0;
    DispFull = false;
    View.Reset();
  }
  {
    std::lock_guard Lock(OutLock);
    OutBuf.reset();
    OutHead = OutTail = 0;
    OutFull = false;
  }
  WakeWaiters();
}

void TRivuBaseDispatcher::ThreadStart() {
  ++ThreadCount;
  GeneralEvent.Set();
}

void TRivuBaseDispatcher::SetKillThreads() {
  KillThreads = true;
  Queue.Wake();
  WakeWaiters();
}

void TRivuBaseDispatcher::ThreadGone(TRivuDispatcherThread* Thread) {
  const int32_t Result = Thread->ReturnValue();
  // Several threads fail together when a device goes away; the user hears of
  // the first failure only.
  if (Result < 0 && !FailureReported.exchange(true)) {
    try {
      if (Owner_) {
        Owner_->CheckThreadResult(Result);
      } else {
        Platform_.ShowBackgroundError("Serial port thread ended with error " +
                                      std::to_string(Result));
      }
    } catch (const std::exception& E) {
      Platform_.ShowBackgroundError(E.what());
    } catch (...) {
      Platform_.ShowBackgroundError("Serial port thread ended with error " +
                                    std::to_string(Result));
    }
  }
  Thread->MarkEnded();
  if (Thread->IsDispatcherThread() && DoneOnDispExit) {
    DonePortPrim();
    DoneOnDispExit = false;
  }
  std::lock_guard Lock(WaitMutex);
  if (--ThreadCount == 0) DispatcherActive = false;
  ++WaitGeneration;
  WaitCv.notify_all();
}

// --- Counting and reading ---

uint32_t TRivuBaseDispatcher::CountLocked() const {
  if (DispHead == DispTail) return DispFull ? DispatchBufferSize : 0;
  if (DispTail < DispHead) return DispHead - DispTail;
  return DispHead + DispatchBufferSize - DispTail;
}

void TRivuBaseDispatcher::TakeLocked(uint32_t NewTail, uint32_t N) {
  DispTail = NewTail;
  View.TakenElsewhere(N);
  FreeRoomLocked();
}

void TRivuBaseDispatcher::FreeRoomLocked() {
  DispFull = false;
  Wakes.RoomMade();
  InputConsumed();
}

bool TRivuBaseDispatcher::CharReady() {
  std::lock_guard Lock(InLock);
  if (!DispBuf) return false;
  return CountLocked() > View.Offset();
}

int32_t TRivuBaseDispatcher::PeekBlockPrim(void* Block, uint32_t Offset, uint32_t Len,
                                           uint32_t& NewTail) {
  std::lock_guard Lock(InLock);
  NewTail = (DispTail + Offset) % DispatchBufferSize;
  const uint32_t Count = CountLocked();
  if (!DispBuf || Offset > Count || Len > Count - Offset) return ecBufferIsEmpty;
  auto* Out = static_cast<uint8_t*>(Block);
  const uint32_t First = std::min(Len, DispatchBufferSize - NewTail);
  std::memcpy(Out, DispBuf.get() + NewTail, First);
  std::memcpy(Out + First, DispBuf.get(), Len - First);
  NewTail = (NewTail + Len) % DispatchBufferSize;
  return int32_t(Len);
}

int32_t TRivuBaseDispatcher::GetBlock(void* Block, uint32_t Len) {
  if (Len == 0) return 0;
  int32_t R;
  {
    std::lock_guard Lock(InLock);
    uint32_t NewTail;
    if (View.Inside()) {
      R = PeekBlockPrim(Block, View.Offset(), Len, NewTail);
      if (R > 0) View.HandlerRead(uint32_t(R));
    } else {
      R = PeekBlockPrim(Block, 0, Len, NewTail);
      if (R > 0) TakeLocked(NewTail, uint32_t(R));
    }
  }
  // Recorded after the input lock is released: the trace takes the
  // dispatcher lock, which may not be taken inside the input lock's reads.
  if (R > 0 && TraceRec.TracingOn()) {
    TraceRec.AddTraceEntries(kTraceReceive, {static_cast<const uint8_t*>(Block), uint32_t(R)});
  }
  return R;
}

int32_t TRivuBaseDispatcher::PeekBlock(void* Block, uint32_t Len) {
  if (Len == 0) return 0;
  std::lock_guard Lock(InLock);
  uint32_t NewTail;
  return PeekBlockPrim(Block, View.Offset(), Len, NewTail);
}

int32_t TRivuBaseDispatcher::PeekChar(uint8_t& Value, uint32_t Index) {
  if (Index == 0) return ecBufferIsEmpty;
  std::lock_guard Lock(InLock);
  Index += View.Offset();
  if (!DispBuf || CountLocked() < Index) return ecBufferIsEmpty;
  Value = DispBuf[(DispTail + Index - 1) % DispatchBufferSize];
  return 0;
}

int32_t TRivuBaseDispatcher::GetChar(uint8_t& Value) {
  std::lock_guard Lock(InLock);
  if (View.Inside()) {
    const uint32_t At = View.Offset();
    if (!DispBuf || CountLocked() < At + 1) return ecBufferIsEmpty;
    Value = DispBuf[(DispTail + At) % DispatchBufferSize];
    View.HandlerRead(1);
    // Taken later, when the handler returns, but read now: traced now, as
    // GetBlock does.
    if (TraceRec.TracingOn()) TraceRec.AddTraceEntry(kTraceReceive, Value);
    return 0;
  }
  const int32_t R = PeekChar(Value, 1);
  if (R == 0) {
    TakeLocked((DispTail + 1) % DispatchBufferSize, 1);
    if (TraceRec.TracingOn()) TraceRec.AddTraceEntry(kTraceReceive, Value);
  }
  return R;
}

int32_t TRivuBaseDispatcher::InBuffUsed() {
  std::lock_guard Lock(InLock);
  return int32_t(CountLocked() - View.Offset());
}

int32_t TRivuBaseDispatcher::InBuffFree() {
  std::lock_guard Lock(InLock);
  return int32_t(DispatchBufferSize - CountLocked() + View.Offset());
}

TDataWait TRivuBaseDispatcher::WaitForData(uint32_t Count, std::chrono::milliseconds Timeout,
                                           std::stop_token Stop) {
  if (Count > DispatchBufferSize) return TDataWait::TooLarge;
  const auto Deadline = std::chrono::steady_clock::now() + Timeout;
  struct TWaiter {
    explicit TWaiter(TRivuBaseDispatcher& D) : D(D) {
      ++D.DataWaiters_;
      D.DataWanted();
    }
    ~TWaiter() { --D.DataWaiters_; }
    TRivuBaseDispatcher& D;
  } Waiter(*this);
  for (;;) {
    uint64_t Gen;
    {
      std::lock_guard Lock(WaitMutex);
      Gen = WaitGeneration;
    }
    if (Stop.stop_requested()) return TDataWait::Stopped;
    {
      std::lock_guard Lock(InLock);
      const bool Open = DispBuf != nullptr;
      if (Open && CountLocked() - View.Offset() >= Count) {
        return TDataWait::Ready;
      }
      if (!Open || KillThreads) return TDataWait::Closed;
    }
    std::unique_lock Lock(WaitMutex);
    if (!WaitCv.wait_until(Lock, Stop, Deadline, [&] { return WaitGeneration != Gen; })) {
      if (Stop.stop_requested()) return TDataWait::Stopped;
      if (std::chrono::steady_clock::now() >= Deadline) {
        Lock.unlock();
        std::lock_guard InGuard(InLock);
        if (DispBuf && CountLocked() - View.Offset() >= Count) {
          return TDataWait::Ready;
        }
        return TDataWait::TimedOut;
      }
    }
  }
}

// --- Writing ---

int32_t TRivuBaseDispatcher::PutBlock(const void* Block, uint32_t Len) {
  if (Len == 0) return 0;
  int32_t Result = 0;
  bool Refused = false;
  {
    std::lock_guard Lock(OutLock);
    if (!OutBuf) return ecCommNotOpen;
    const uint32_t Free = OutBufSize - uint32_t(OutBufUsed());
    if (Len > Free) return ecOutputBufferTooSmall;
    if (Len == Free) OutFull = true;
    int32_t N = WriteCom(static_cast<const uint8_t*>(Block), int32_t(Len));
    if (N <= 0) {
      Result = ecPutBlockFail;
      Refused = true;
    }
    OutSentPending = true;
  }
  if (Refused) {
    TComStat Stat;
    LineErrors = GetComError(Stat);
  }
  // Recorded after the output lock is released, in the lock order.
  const auto* Bytes = static_cast<const uint8_t*>(Block);
  if (DLog.DLoggingOn()) DLog.AddDispatchEntry(dtDispatch, dstWriteCom, Len, Bytes, Len);
  if (TraceRec.TracingOn()) TraceRec.AddTraceEntries(kTraceTransmit, {Bytes, Len});
  return Result;
}

uint32_t TRivuBaseDispatcher::RefreshStatus(TComStat* Stat) {
  TComStat Local;
  const uint32_t Bits = GetComError(Local) & 0x1F;
  LineErrors.fetch_or(Bits);
  {
    std::lock_guard Lock(StatusMutex);
    ComStat = Local;
  }
  if (Stat) *Stat = Local;
  return Bits;
}

int32_t TRivuBaseDispatcher::OutBuffUsed() {
  std::lock_guard Lock(OutLock);
  TComStat Stat;
  RefreshStatus(&Stat);
  return int32_t(Stat.OutQue);
}

int32_t TRivuBaseDispatcher::OutputPending() {
  // The write thread takes a block under this lock: a block in passage is
  // counted once, never missed.
  std::lock_guard Lock(OutLock);
  return OutBuffUsed() + int32_t(OutputInHand());
}

int32_t TRivuBaseDispatcher::OutBuffFree() {
  std::lock_guard Lock(OutLock);
  return int32_t(OutBufSize) - OutBuffUsed();
}

// --- Flushes ---

int32_t TRivuBaseDispatcher::FlushInBuffer() {
  std::lock_guard Lock(InLock);
  const int32_t R = FlushCom(1);
  if (View.Inside()) {
    // Taken when the delivery ends, with the room it makes.
    View.HandlerFlushed(CountLocked());
  } else {
    DispTail = DispHead;
    DispFull = false;
    View.TakenElsewhere(DispatchBufferSize);
    Wakes.RoomMade();  // a stall after the flush is a new one
  }
  {
    std::lock_guard DLock(DispLock);
    for (auto& T : DataTriggers) T.Matched = 0;
  }
  return R;
}

int32_t TRivuBaseDispatcher::FlushOutBuffer() {
  return FlushCom(0);
}

void TRivuBaseDispatcher::BufferSizes(uint32_t& InSize, uint32_t& OutSize) const {
  InSize = InQueueSize;
  OutSize = OutBufSize;
}

// --- Settings ---

void TRivuBaseDispatcher::OptionsOn(uint32_t Bits) {
  std::lock_guard Lock(DispLock);
  OptionBits |= Bits;
}

void TRivuBaseDispatcher::OptionsOff(uint32_t Bits) {
  std::lock_guard Lock(DispLock);
  OptionBits &= ~Bits;
}

bool TRivuBaseDispatcher::OptionsAreOn(uint32_t Bits) {
  std::lock_guard Lock(DispLock);
  return (OptionBits & Bits) == Bits;
}

// Priorities stay normal: raising a thread above normal needs privileges a
// desktop user does not have, and this system never asks for a boost.
void TRivuBaseDispatcher::SetThreadBoost(uint8_t Boost) {
  std::lock_guard Lock(DispLock);
  ThreadBoost = Boost;
}

int32_t TRivuBaseDispatcher::SetRS485Mode(bool On) {
  std::lock_guard Lock(DispLock);
  if (ComHandle.load() < 0) {
    RS485Mode = On;
    return 0;
  }
  // The driver raises RTS for each send and lowers it after (toggle); off
  // again, RTS is the caller's level once more, unless flow control has
  // taken it since. The record as last written tells: some drivers read a
  // toggle back as a handshake.
  if (!On && Dcb.fRtsControl != dcRtsToggle) {
    RS485Mode = false;
    return 0;
  }
  GetComState(Dcb);
  const bool ModeBefore = RS485Mode, RtsByFlowBefore = RtsByFlow;
  RS485Mode = On;
  RtsByFlow = On;
  if (On) Dcb.fRtsControl = dcRtsToggle;
  const int32_t R = SetCommStateFix(Dcb);
  if (R != 0) {
    // Refused (a driver without RS-485): the line stays as it was.
    RS485Mode = ModeBefore;
    RtsByFlow = RtsByFlowBefore;
  }
  return R;
}

bool TRivuBaseDispatcher::DtrLevel() {
  std::lock_guard Lock(DispLock);
  return DtrOn;
}

bool TRivuBaseDispatcher::RtsLevel() {
  std::lock_guard Lock(DispLock);
  return RtsOn;
}

bool TRivuBaseDispatcher::RS485ModeOn() {
  std::lock_guard Lock(DispLock);
  return RS485Mode;
}

uint8_t TRivuBaseDispatcher::StoredModemStatus() {
  std::lock_guard Lock(DispLock);
  return uint8_t(ModemStatus);
}

void TRivuBaseDispatcher::SetBaseAddress(uint16_t Address) {
  std::lock_guard Lock(DispLock);
  BaseAddress = Address;
}

uint16_t TRivuBaseDispatcher::GetBaseAddress() {
  std::lock_guard Lock(DispLock);
  return BaseAddress;
}

int32_t TRivuBaseDispatcher::SetDataPointer(void* Value, int32_t Index) {
  if (Index < 1 || Index > 3) return ecBadArgument;
  std::lock_guard Lock(DispLock);
  DataPointers[Index - 1] = Value;
  return 0;
}

int32_t TRivuBaseDispatcher::GetDataPointer(void*& Value, int32_t Index) {
  if (Index < 1 || Index > 3) return ecBadArgument;
  std::lock_guard Lock(DispLock);
  Value = DataPointers[Index - 1];
  return 0;
}

void TRivuBaseDispatcher::SetPortName(std::string Name) {
  std::lock_guard Lock(DispLock);
  PortName_ = std::move(Name);
}

std::string TRivuBaseDispatcher::PortName() {
  std::lock_guard Lock(DispLock);
  return PortName_;
}

void TRivuBaseDispatcher::AddDispatchEntry(uint8_t Type, uint16_t SubType, uint32_t Data,
                                           const void* Buffer, uint32_t Len) {
  DLog.AddDispatchEntry(TDispatchType(Type), TDispatchSubType(SubType), Data, Buffer, Len);
}
