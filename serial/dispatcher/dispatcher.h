// The dispatcher: the engine under the com port component, one per open port.
//
// Threading contract
// ------------------
// Threads: the opening thread (the GUI thread in the desktop tool: InitPort,
// DonePort, the destructor, line/modem/flow settings, flushes), any caller
// thread (the download task: the data operations and WaitForData, the
// flushes), and four background threads per open port: the read thread and
// the status thread (device -> I/O queue, never touch the rings), the
// dispatcher thread (I/O queue -> dispatch ring, notifications, triggers) and
// the write thread (output ring -> device).
//
// clang-format off
// | who                 | may call                                    | locks taken                  |
// |---------------------|---------------------------------------------|------------------------------|
// | any thread          | CharReady, Get/Peek Char/Block, InBuffUsed, | input                        |
// |                     | InBuffFree, WaitForData                     |                              |
// | any thread          | Put Char/String/Block, OutBuffUsed/Free     | output, then dispatcher      |
// | any thread          | FlushInBuffer / FlushOutBuffer              | input / output               |
// | any thread          | line, modem, flow, status, trigger and      | dispatcher (SetLine lets go  |
// |                     | handler operations                          | of it while output drains)   |
// | opening thread only | InitPort, DonePort, the destructor          | each in the order below      |
// | dispatcher thread   | ExtractData, SendNotify, trigger checks     | input, dispatcher            |
// | write thread        | the output ring                             | output                       |
// | read, status threads| I/O queue pushes                            | the queue's own              |
// clang-format on
//
// Lock order: input -> dispatcher -> output -> I/O queue -> device descriptor.
// All three dispatcher locks are re-entrant. The input lock is never taken
// while the dispatcher or output lock is held. Handlers are called with no
// lock held; what they read is deferred (delivery_view.h), and a window
// deregistered during a delivery to it is waited for. When the dispatcher
// thread wakes for received bytes: receive_wakes.h. The dispatcher outlives every call in progress:
// its destructor stops the threads and waits for them; data operations after DonePort (or after the
// threads stopped on a device failure) find no buffer and return ecBufferIsEmpty (reads) or
// ecCommNotOpen (writes).
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "serial/dispatcher/dcb.h"
#include "serial/dispatcher/delivery_view.h"
#include "serial/dispatcher/dispatcher_owner.h"
#include "serial/dispatcher/event.h"
#include "serial/dispatcher/io_queue.h"
#include "serial/dispatcher/receive_wakes.h"
#include "serial/platform/platform.h"
#include "serial/recording/dispatch_log.h"
#include "serial/recording/trace.h"

class TRivuDispatcherThread;

inline constexpr uint32_t DispatchBufferSize = 8192;

// Notification messages; the parameter is (PortIndex << 16) + data word.
inline constexpr uint32_t nmTriggerAvail = 0x7E01, nmTriggerData = 0x7E02, nmTriggerTimer = 0x7E03,
                          nmTriggerStatus = 0x7E04;

enum THandlerFlagKind { fuKeepPort, fuEnablePort, fuDisablePort };

// Status trigger kinds, carried in a status trigger handle's low three bits.
enum TStatusTriggerKind : uint16_t {
  stNone = 0,
  stModem = 1,
  stLine = 2,
  stOutFree = 3,
  stOutUsed = 4,
  stOutSent = 5
};

// Result of WaitForData.
enum class TDataWait { Ready, Stopped, TimedOut, Closed, TooLarge };

using TTriggerProc = void (*)(uint32_t Msg, uint32_t Trigger, uint32_t Param);
using TTriggerHandlerEvent = std::function<void(uint32_t Msg, uint32_t Trigger, uint32_t Param)>;

struct TTimerTrigger {
  int32_t Handle = 0;
  int32_t Ticks = 0;  // 55 ms ticks
  bool Active = false;
  std::chrono::steady_clock::time_point Due;
};
struct TDataTrigger {
  TDataTrigger(int32_t Handle, std::string Data, bool IgnoreCase);
  // Takes byte B; true when it completes a match. After a mismatch the match
  // goes on from the longest start of Data that still fits, so "aab" is
  // found in "aaab".
  bool Take(uint8_t B);

  int32_t Handle = 0;
  std::string Data;
  bool IgnoreCase = false;
  size_t Matched = 0;  // bytes of Data matched so far
  // For each length matched, the length of the longest proper start of Data
  // that is also its end there.
  std::vector<size_t> Fallback;
};
struct TStatusTrigger {
  int32_t Handle = 0;
  uint16_t Kind = stNone;
  uint32_t Value = 0;  // modem: mask of delta bits; out free/used: byte count
  bool Active = false;
  bool Hit = false;
};

// What SaveTriggers keeps of one dispatcher for the next.
struct TTriggerSave {
  uint32_t LenTrigger = 0;
  std::vector<TTimerTrigger> Timers;
  std::vector<TDataTrigger> Datas;
  std::vector<TStatusTrigger> Statuses;
};

class TRivuBaseDispatcher {
 public:
  explicit TRivuBaseDispatcher(TDispatcherOwner* Owner, TSerialPlatform* Platform = nullptr);
  TRivuBaseDispatcher(const TRivuBaseDispatcher&) = delete;
  TRivuBaseDispatcher& operator=(const TRivuBaseDispatcher&) = delete;
  virtual ~TRivuBaseDispatcher();

  // --- Opening and closing ---
  int32_t InitPort(const std::string& CompName, uint32_t Baud, uint16_t Parity, uint16_t DataBits,
                   uint16_t StopBits, uint32_t InSize, uint32_t OutSize, uint32_t Options);
  void DonePort();

  // --- Data operations (any thread) ---
  bool CharReady();
  int32_t GetChar(uint8_t& Value);
  int32_t PeekChar(uint8_t& Value, uint32_t Index);
  int32_t GetBlock(void* Block, uint32_t Len);
  int32_t PeekBlock(void* Block, uint32_t Len);
  int32_t PutChar(uint8_t Value) { return PutBlock(&Value, 1); }
  int32_t PutString(std::string_view S) { return PutBlock(S.data(), uint32_t(S.size())); }
  int32_t PutBlock(const void* Block, uint32_t Len);
  int32_t InBuffUsed();
  // Received bytes not yet read: the I/O queue's and the buffer's.
  int64_t UnreadInput();
  int32_t InBuffFree();
  int32_t OutBuffUsed();
  int32_t OutBuffFree();
  // The output buffer's bytes and those on their way to the driver.
  int32_t OutputPending();
  int32_t FlushInBuffer();
  int32_t FlushOutBuffer();
  void BufferSizes(uint32_t& InSize, uint32_t& OutSize) const;
  // New device queue sizes while open; InSize bounds the flow limits from
  // then on. The output buffer keeps its size until the next open.
  int32_t SetCommBuffers(uint32_t InSize, uint32_t OutSize);
  // Sleeps until at least Count unread bytes are buffered (Ready), Stop is
  // requested (Stopped), Timeout passes (TimedOut) or the port closed or
  // failed (Closed). Count above the dispatch buffer size gives TooLarge.
  TDataWait WaitForData(uint32_t Count, std::chrono::milliseconds Timeout,
                        std::stop_token Stop = {});

  // --- Line settings and modem lines ---
  int32_t SetLine(uint32_t Baud, uint16_t Parity, uint16_t DataBits, uint16_t StopBits);
  void GetLine(uint32_t& Baud, uint16_t& Parity, uint16_t& DataBits, uint16_t& StopBits);
  int32_t SetCommStateFix(TDcb& Record);
  void WaitTxSent();
  int32_t HWFlowOptions(uint32_t BufferFull, uint32_t BufferResume, uint32_t Options);
  int32_t SWFlowEnable(uint32_t BufferFull, uint32_t BufferResume, uint32_t Options);
  int32_t SWFlowDisable();
  int32_t SWFlowChars(uint8_t XOn, uint8_t XOff);
  int32_t SetDtr(bool On);
  int32_t SetRts(bool On);
  int32_t SetModem(bool Dtr, bool Rts);
  void SendBreak(uint32_t Ticks, bool Yield);
  void SetBreak(bool On);

  // --- Status ---
  uint8_t GetModemStatusPrim(uint8_t ClearMask);
  uint8_t GetModemStatus() { return GetModemStatusPrim(0xF0); }
  int32_t GetLineError();
  bool CheckLineBreak();
  // Error bits of the device's status query, OR-ed into the line errors.
  uint32_t RefreshStatus(TComStat* Stat = nullptr);
  // The output lines' levels as last asked for, RS-485 mode, and the modem
  // status byte as the last status read left it.
  bool DtrLevel();
  bool RtsLevel();
  bool RS485ModeOn();
  uint8_t StoredModemStatus();

  // --- Settings ---
  void OptionsOn(uint32_t Bits);
  void OptionsOff(uint32_t Bits);
  bool OptionsAreOn(uint32_t Bits);
  virtual void SetThreadBoost(uint8_t Boost);
  // RTS raised by the driver while sending; a driver that cannot refuses
  // (SetComState's code) and nothing changes.
  int32_t SetRS485Mode(bool On);
  // UART base address for RS-485 on drivers that cannot toggle RTS; unused.
  void SetBaseAddress(uint16_t Address);
  uint16_t GetBaseAddress();
  int32_t SetDataPointer(void* Value, int32_t Index);
  int32_t GetDataPointer(void*& Value, int32_t Index);
  void SetPortName(std::string Name);
  std::string PortName();
  int32_t PortIndex() const { return PortIndex_; }
  TDispatcherOwner* Owner() const { return Owner_; }

  // --- Notification handlers and triggers ---
  int32_t RegisterWndTriggerHandler(TNotifyWindow* Window);
  int32_t DeregisterWndTriggerHandler(TNotifyWindow* Window);
  int32_t RegisterProcTriggerHandler(TTriggerProc Proc);
  int32_t DeregisterProcTriggerHandler(TTriggerProc Proc);
  // Event handlers are told apart by Key (the object whose method runs).
  int32_t RegisterEventTriggerHandler(const void* Key, TTriggerHandlerEvent Event);
  // Runs on the registering thread (through a notification window) while the
  // dispatcher thread waits.
  int32_t RegisterSyncEventTriggerHandler(const void* Key, TTriggerHandlerEvent Event);
  int32_t DeregisterEventTriggerHandler(const void* Key);
  virtual void UpdateHandlerFlags(THandlerFlagKind Kind);
  void ChangeLengthTrigger(uint32_t Length);
  int32_t AddDataTrigger(std::string_view Data, bool IgnoreCase);
  int32_t AddTimerTrigger();
  int32_t AddStatusTrigger(uint16_t Kind);
  int32_t RemoveTrigger(int32_t Handle);
  int32_t SetTimerTrigger(int32_t Handle, int32_t Ticks, bool Activate);
  int32_t SetStatusTrigger(int32_t Handle, uint32_t Value, bool Activate);
  int32_t RemoveAllTriggers();
  void SaveTriggers(TTriggerSave& Save);
  void RestoreTriggers(const TTriggerSave& Save);
  static void ClearSaveBuffers(TTriggerSave& Save);
  static int32_t ClassifyStatusTrigger(int32_t Handle) { return Handle & 7; }

  // --- Global port list ---
  static void LockPortList();
  static void UnlockPortList();
  // The dispatcher at Index (nullptr when none); call under the port list lock.
  static TRivuBaseDispatcher* GetTComRecPtr(int32_t Index);
  template <class T>
  static T* GetTComRecPtr(int32_t Index) {
    return dynamic_cast<T*>(GetTComRecPtr(Index));
  }

  // --- Device operations (the device layer implements them) ---
  // Names the calling background thread where the platform can.
  virtual void NameThread(const char* /*Name*/) {}
  // A reader began waiting in WaitForData: bytes the device layer lets the
  // driver hold for a while must come in at once.
  virtual void DataWanted() {}
  // A reader took bytes out of the dispatch buffer (input lock held): a
  // device layer holding input off for the flow limits may take more.
  virtual void InputConsumed() {}
  // Readers sleeping in WaitForData now.
  int32_t DataWaitersNow() const { return DataWaiters_.load(); }
  virtual int32_t EscapeComFunction(int32_t Code) = 0;
  virtual int32_t FlushCom(int32_t Which) = 0;
  virtual uint32_t GetComError(TComStat& Stat) = 0;
  virtual uint32_t GetComEventMask(int32_t Clear) = 0;
  virtual int32_t GetComState(TDcb& Record) = 0;
  // Takes received bytes out of the I/O queue, up to a status item.
  virtual int32_t ReadCom(uint8_t* Buffer, int32_t Len);
  virtual int32_t SetComState(TDcb& Record) = 0;
  // Adds to the output ring (the caller made room) and wakes the writer.
  virtual int32_t WriteCom(const uint8_t* Buffer, int32_t Len);
  virtual int32_t WaitComEvent(uint32_t& Mask) = 0;
  virtual bool SetupCom(int32_t InSize, int32_t OutSize) = 0;
  virtual void DonePortPrim();
  virtual void StartDispatcher() = 0;
  virtual void StopDispatcher() = 0;
  virtual int32_t OutBufUsed();
  virtual int32_t InQueueUsed() { return 0; }
  virtual int32_t OpenCom(const std::string& Name, int32_t InSize, int32_t OutSize) = 0;
  virtual int32_t CloseCom() = 0;
  virtual int32_t ProcessCommunications() = 0;
  // Modem input lines in the status byte's high half (0x10 CTS .. 0x80 DCD).
  virtual uint8_t GetComModemLines() = 0;
  virtual void SetComBreak(bool On) = 0;
  // Bytes the driver still holds for sending; 0 when it cannot tell.
  virtual uint32_t DeviceOutputQueued() { return 0; }
  // Bytes the write thread has taken from the output buffer and not yet
  // handed to the driver: they free the buffer's room but are not sent.
  uint32_t OutputInHand() const { return InHand_.load(); }
  // The platform error number of the last failed device call.
  virtual int32_t LastDeviceError() const = 0;

  // --- Recorders, and what the component asks besides the data operations ---
  TTraceRecorder& Trace() { return TraceRec; }
  TDispatchLog& DispatchLog() { return DLog; }
  // A notification is being delivered (a close from a handler is deferred).
  bool NotifyingNow() const { return Notifying.load(); }
  // Flow states as 1 + TFlowControlState: 1 off, 2 on (the driver holds no
  // finer state that can be read back).
  int32_t HWFlowState();
  int32_t SWFlowState();
  // Sleeps until every queued byte has reached the driver and the driver's
  // transmit queue is empty, at most Timeout; false when bytes were still
  // waiting then.
  bool WaitOutputDrained(std::chrono::milliseconds Timeout);

  // --- Called by the background threads ---
  void ThreadStart();
  void ThreadGone(TRivuDispatcherThread* Thread);
  bool GetKillThreads() const { return KillThreads.load(); }
  virtual void SetKillThreads();
  TIOQueue& GetQueue() { return Queue; }
  // Delta bits of modem lines that changed and changed back between two
  // looks at the lines (the driver's counters tell).
  void AddLinePulses(uint8_t Deltas) { LinePulses.fetch_or(Deltas); }
  TRivuEvent& GetGeneralEvent() { return GeneralEvent; }
  bool GetDLoggingOn() const { return DLog.DLoggingOn(); }
  // Dispatch log hook; recorders are off in this system.
  void AddDispatchEntry(uint8_t Type, uint16_t SubType, uint32_t Data, const void* Buffer,
                        uint32_t Len);
  bool DispatcherActiveNow() const { return DispatcherActive.load(); }
  int32_t ThreadCountNow() const { return ThreadCount.load(); }
  int32_t ComHandleNow() const { return ComHandle.load(); }
  // Received bytes still waiting in the I/O queue.
  int64_t QueuedBytes() { return Queue.DataBytes(); }
  // True when nothing needs the dispatcher thread to look at each received
  // byte at once (no handler, or no receive or status trigger and no avail
  // threshold; no delivery in progress): the reader may then move its bytes
  // into the dispatch buffer itself, one thread hop less for every chunk.
  bool ReaderMayMoveBytes();
  // The reader's move of what it queued; the dispatcher thread still moves
  // what the full buffer could not take.
  void MoveReceivedBytes() { ExtractData(); }

  // --- The output's way to the driver (the write thread) ---
  // An output flush empties the buffer and takes a ticket; the write thread
  // drops the rest of any block taken before that ticket, purges the
  // driver's queue, and acknowledges.
  //
  // Moves every byte of the output buffer into Block and returns the flush
  // ticket it was taken under; nothing when the buffer is empty.
  std::optional<uint64_t> TakeOutput(std::vector<uint8_t>& Block);
  // A flush asked for after the ticket a block was taken under.
  bool FlushedSince(uint64_t Ticket) const { return FlushRequests_.load() > Ticket; }
  bool FlushPending() const { return FlushAcks_.load() < FlushRequests_.load(); }
  // Purges the driver's output and acknowledges every flush asked for so far.
  void CompleteFlush();
  // The block in hand: bytes the driver has taken, and the block's end (sent,
  // dropped by a flush or given up), which wakes the waiters.
  void BlockWritten(uint32_t N) { InHand_.fetch_sub(N); }
  void BlockDone();

  // The dispatcher thread's loop (run by TDispThread) and its end step.
  int32_t RunDispatcherThread();
  void EndDispatcherThread() { DoneOnDispExit = DonePending.load() || KillThreads.load(); }
  TSerialPlatform& Platform() const { return Platform_; }
  uint32_t LineErrorBits() const { return LineErrors.load(); }

 protected:
  // What a device layer may do to the base: the rest of its state is the
  // base's own, so its rules hold whatever a layer does.
  //
  // Every device layer calls this first in its destructor: closes the port
  // and waits for every background thread, so that no virtual call reaches a
  // half-destroyed object. The base destructor cannot do it.
  void Shutdown();
  // The output half of FlushCom: empties the buffer, has the write thread
  // drop its block and purge, and waits for that; the purge's result.
  int32_t FlushOutput();
  // Starts a run: refuses a second one, forgets the last run's kill and
  // flushes, lets the layer clear its own wake-up signals, then starts the
  // read, dispatcher, write and status threads in that order, each once the
  // one before has said it runs.
  void LaunchThreads(const std::function<void()>& ClearSignals,
                     std::unique_ptr<TRivuDispatcherThread> Read,
                     std::unique_ptr<TRivuDispatcherThread> Write,
                     std::unique_ptr<TRivuDispatcherThread> Status);
  // A device close is framed by these. BeginClose is false when a close is
  // already under way: on another thread it first waits for that close to
  // end and gives its result in Result, inside it Result is 0; the caller
  // returns Result. StopThreads ends a run's threads (status, write, read,
  // each woken and waited for by StopOne, then the dispatcher thread).
  // EndClose records the close's result, lets the next close begin and
  // returns the result.
  enum class TIoThread { Status, Write, Read };
  using TStopOne = std::function<void(TIoThread Which, TRivuDispatcherThread* Thread)>;
  bool BeginClose(int32_t& Result);
  void StopThreads(const TStopOne& StopOne);
  int32_t EndClose(int32_t Result);
  // The device's handle as the component and the status query see it.
  void SetDeviceHandle(int Handle) { ComHandle = Handle; }
  // The receive queue's size the port was opened with.
  uint32_t ReceiveQueueSize() const { return InQueueSize; }
  // Waits for Thread to end (the calling thread counts as ended) and joins
  // it; false when TimeoutMs (negative: none) passed first.
  bool WaitThreadEnd(TRivuDispatcherThread* Thread, int TimeoutMs);
  // Wakes the write thread: output was queued, or a flush asked for (a write
  // in progress must then end early).
  virtual void WakeWriter(bool ForFlush) = 0;
  // Drops what the driver holds for sending; true when it did.
  virtual bool PurgeDriverOutput() = 0;

 private:
  // Waits until Done() holds, processing the calling thread's pending window
  // events meanwhile; false when TimeoutMs (negative: none) passed first.
  bool WaitProcessingEvents(const std::function<bool()>& Done, int TimeoutMs);
  // Wakes WaitForData, WaitTxSent and the closing waits to look again.
  void WakeWaiters();
  // Waits for the dispatcher thread, the last to stop.
  void WaitDispThreadEnd();

  // Dispatcher thread internals.
  int QueueWaitMs();
  bool HasListenersLocked() const;  // dispatcher lock held
  bool ExtractData();
  void StallLocked();
  void LogReceived(uint32_t Count);
  // One dispatch log entry, while logging is on; any thread, any lock held.
  void LogEvent(TDispatchType Type, TDispatchSubType SubType, uint32_t Data,
                const void* Bytes = nullptr, uint32_t Len = 0);
  // A trigger's entry; Data is a data trigger's string.
  void LogTrigger(TDispatchType Type, int32_t Handle, const std::string* Data = nullptr);
  void OnePass();
  void TimerStatusPass();
  bool CheckReceiveTriggers();
  bool CheckStatusTriggers();
  bool CheckTimerTriggers();
  void ClearStatusHits();
  bool SendNotify(uint32_t Msg, uint32_t Trigger, uint32_t Data);
  void BeginDelivery(uint32_t Msg);
  bool DeliverOne(const std::function<void()>& Call);
  bool DeliverToEventHandlers(uint32_t Msg, uint32_t Trigger, uint32_t Param);
  bool DeliverToProcHandlers(uint32_t Msg, uint32_t Trigger, uint32_t Param);
  bool DeliverToWindows(uint32_t Msg, uint32_t Trigger, uint32_t Param);
  bool EndDelivery(uint32_t Msg, uint32_t Trigger, bool Delivered);
  int32_t NewTriggerHandle();
  int32_t PeekBlockPrim(void* Block, uint32_t Offset, uint32_t Len, uint32_t& NewTail);
  uint32_t CountLocked() const;
  // A read outside a delivery's handlers took N bytes: the tail moves to NewTail.
  void TakeLocked(uint32_t NewTail, uint32_t N);
  void FreeRoomLocked();
  void ReleaseBuffers();

  struct TWndHandler {
    TNotifyWindow* Window;
    bool Deleted = false;
  };
  struct TProcHandler {
    TTriggerProc Proc;
    bool Deleted = false;
  };
  struct TEventHandler {
    const void* Key;
    TTriggerHandlerEvent Event;
    std::unique_ptr<TNotifyWindow> SyncWindow;  // set for synchronised handlers
    bool Deleted = false;
  };

  TDispatcherOwner* const Owner_;
  TSerialPlatform& Platform_;
  int32_t PortIndex_ = -1;
  std::atomic<int> ComHandle{-1};
  std::atomic<uint32_t> LineErrors{0};
  uint32_t InQueueSize = 0;
  uint32_t OutBufSize = 0;
  uint32_t ModemStatus = 0;
  TComStat ComStat;  // guarded by StatusMutex (innermost)
  std::mutex StatusMutex;
  TDcb Dcb;
  uint32_t CurBaud = 0;
  uint32_t OptionBits = 0;
  bool DtrOn = false, DtrByFlow = false, RtsOn = false, RtsByFlow = false;
  bool RS485Mode = false;
  uint16_t BaseAddress = 0;
  bool PortHandlerOn = false;
  std::atomic<bool> HandlersNeeded{false};
  std::vector<TWndHandler> WndHandlers;
  std::vector<TProcHandler> ProcHandlers;
  std::vector<TEventHandler> EventHandlers;
  std::vector<TTimerTrigger> TimerTriggers;
  std::vector<TDataTrigger> DataTriggers;
  std::vector<TStatusTrigger> StatusTriggers;
  uint32_t ScanPos = 0;
  uint32_t AvailTriggerLen = 0;
  bool StatusHit = false;
  TDeliveryView View;  // input lock
  bool DispFull = false;
  uint32_t LastNotifyPos = 0;
  std::atomic<bool> KillThreads{false};
  std::unique_ptr<TRivuDispatcherThread> ReadThread, DispThread, WriteThread, StatusThread;
  // The write thread once it runs: a flush from another thread reads this,
  // not the slot, which the opening thread fills meanwhile.
  std::atomic<TRivuDispatcherThread*> Writer_{nullptr};
  uint8_t ThreadBoost = 0;
  std::recursive_mutex DispLock, OutLock, InLock;
  TTraceRecorder TraceRec{DispLock};
  TDispatchLog DLog{DispLock};
  TRivuEvent GeneralEvent{TRivuEvent::TKind::AutoReset};
  uint32_t CurEvent = 0;
  std::atomic<bool> RingSeen{false};
  // Delta bits of lines that changed and changed back unseen by the lines.
  std::atomic<uint8_t> LinePulses{0};
  TIOQueue Queue;
  std::unique_ptr<uint8_t[]> OutBuf;
  uint32_t OutHead = 0, OutTail = 0;
  bool OutFull = false;
  std::unique_ptr<uint8_t[]> DispBuf;
  uint32_t DispHead = 0, DispTail = 0;
  TReceiveWakes Wakes{Queue};  // input lock
  std::atomic<bool> Notifying{false};
  bool HandlerListDirty = false;
  std::atomic<bool> DonePending{false};
  std::atomic<bool> OutSentPending{false};
  int32_t NextTriggerHandle = 1;
  std::atomic<bool> DispatcherActive{false};
  std::atomic<bool> DoneOnDispExit{false};
  std::atomic<int32_t> ThreadCount{0};
  std::atomic<bool> Closing{false};
  std::atomic<std::thread::id> Closer_{};
  std::atomic<int32_t> LastCloseResult_{0};
  std::array<void*, 3> DataPointers{};
  std::string PortName_;
  std::atomic<bool> FailureReported{false};
  std::atomic<int32_t> DataWaiters_{0};

  // Waits for bytes, for the output to empty and for threads to end sleep
  // here; WakeWaiters bumps the generation.
  std::mutex WaitMutex;
  std::condition_variable_any WaitCv;
  uint64_t WaitGeneration = 0;  // guarded by WaitMutex

  std::atomic<uint64_t> FlushRequests_{0};  // changed under the output lock
  std::atomic<uint64_t> FlushAcks_{0};
  std::atomic<int32_t> LastPurge_{0};
  void ForgetFlushes() { FlushAcks_ = FlushRequests_.load(); }
  // Taken from the buffer by the write thread, not yet taken by the driver:
  // still output waiting, though the buffer's room is free again.
  std::atomic<uint32_t> InHand_{0};  // set under the output lock
};
