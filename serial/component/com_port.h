// The com port component: the serial port as the rest of the program sees
// it. It holds the port number and line settings as properties, opens and
// closes the port, and offers polling reads and block writes that raise the
// component's exceptions. Each open creates a dispatcher; each close
// destroys it.
//
// Threads: the thread that creates the component owns it: it opens, closes
// and sets properties. Any other thread may call the block operations, the
// flushes, CharReady, WaitForData and the status reads; such a call never
// opens the port (on a closed or closing port it raises ECommNotOpen), and
// the dispatcher it uses stays alive until the call returns.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "serial/component/base_component.h"
#include "serial/component/com_port_types.h"
#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/dispatcher_owner.h"
#include "serial/platform/platform.h"
#include "serial/recording/trace_log_switch.h"

class TRivuCustomComPort;

using TNotifyEvent = std::function<void(TRivuCustomComPort& Sender)>;
using TTriggerEvent = std::function<void(TRivuCustomComPort& CP, uint16_t Msg,
                                         uint16_t TriggerHandle, uint16_t Data)>;
using TTriggerAvailEvent = std::function<void(TRivuCustomComPort& CP, uint16_t Count)>;
using TTriggerHandleEvent = std::function<void(TRivuCustomComPort& CP, uint16_t TriggerHandle)>;
using TTriggerLineErrorEvent =
    std::function<void(TRivuCustomComPort& CP, uint16_t Error, bool LineBreak)>;
using TPortCallback = void (*)(TRivuCustomComPort* CP, bool Opening);
using TPortCallbackEx = void (*)(TRivuCustomComPort* CP, TRivuCallbackType CallbackType);
// Creates the dispatcher instead of the built-in choice (tests use it).
using TDispatcherFactory =
    std::function<std::shared_ptr<TRivuBaseDispatcher>(TRivuCustomComPort& Owner)>;

// The dispatch buffer's size: what InBuffFree reads while the port is closed.
inline constexpr uint32_t kDispatchBufferSize = DispatchBufferSize;

class TRivuCustomComPort : public TRivuBaseComponent, public TDispatcherOwner {
 public:
  explicit TRivuCustomComPort(TRivuBaseComponent* Owner = nullptr,
                              TSerialPlatform* Platform = nullptr);
  ~TRivuCustomComPort() override;

  // --- Properties ---
  TDeviceLayer DeviceLayer() const { return deviceLayer_; }
  void SetDeviceLayer(TDeviceLayer Value);
  uint16_t ComNumber() const { return comNumber_; }
  void SetComNumber(uint16_t Value);
  int32_t Baud() const { return baud_; }
  void SetBaud(int32_t Value);
  bool PromptForPort() const { return promptForPort_; }
  void SetPromptForPort(bool Value) { promptForPort_ = Value; }
  TParity Parity() const { return parity_; }
  void SetParity(TParity Value);
  uint16_t DataBits() const { return dataBits_; }
  void SetDataBits(uint16_t Value);
  uint16_t StopBits() const { return stopBits_; }
  void SetStopBits(uint16_t Value);
  uint16_t InSize() const { return inSize_; }
  void SetInSize(uint16_t Value);
  uint16_t OutSize() const { return outSize_; }
  void SetOutSize(uint16_t Value);
  bool AutoOpen() const { return autoOpen_; }
  void SetAutoOpen(bool Value) { autoOpen_ = Value; }
  bool Open() const { return open_.load(); }
  void SetOpen(bool Value);
  bool DTR() const { return dtr_; }
  void SetDTR(bool Value);
  bool RTS() const { return rts_; }
  void SetRTS(bool Value);
  THWFlowOptionSet HWFlowOptions() const { return hwFlowOptions_; }
  void SetHWFlowOptions(THWFlowOptionSet Value);
  TSWFlowOptions SWFlowOptions() const { return swFlowOptions_; }
  void SetSWFlowOptions(TSWFlowOptions Value);
  char XOnChar() const { return xOnChar_; }
  void SetXOnChar(char Value);
  char XOffChar() const { return xOffChar_; }
  void SetXOffChar(char Value);
  uint16_t BufferFull() const { return bufferFull_; }
  void SetBufferFull(uint16_t Value);
  uint16_t BufferResume() const { return bufferResume_; }
  void SetBufferResume(uint16_t Value);
  TTraceLogState Tracing() const { return trace_.State(); }
  void SetTracing(TTraceLogState Value);
  uint32_t TraceSize() const { return trace_.Size(); }
  void SetTraceSize(uint32_t Value);
  std::string TraceName() const { return trace_.FileName(); }
  void SetTraceName(std::string Value) { trace_.SetFileName(std::move(Value)); }
  bool TraceHex() const { return trace_.Hex(); }
  void SetTraceHex(bool Value) { trace_.SetHex(Value); }
  bool TraceAllHex() const { return trace_.AllHex(); }
  void SetTraceAllHex(bool Value) { trace_.SetAllHex(Value); }
  TTraceLogState Logging() const { return log_.State(); }
  void SetLogging(TTraceLogState Value);
  uint32_t LogSize() const { return log_.Size(); }
  void SetLogSize(uint32_t Value);
  std::string LogName() const { return log_.FileName(); }
  void SetLogName(std::string Value) { log_.SetFileName(std::move(Value)); }
  bool LogHex() const { return log_.Hex(); }
  void SetLogHex(bool Value) { log_.SetHex(Value); }
  bool LogAllHex() const { return log_.AllHex(); }
  void SetLogAllHex(bool Value) { log_.SetAllHex(Value); }
  bool UseMSRShadow() const { return true; }
  virtual void SetUseMSRShadow(bool) {}  // the shadow is always used
  bool UseEventWord() const { return useEventWord_; }
  void SetUseEventWord(bool Value);
  uint16_t CommNotificationLevel() const { return commNotificationLevel_; }
  void SetCommNotificationLevel(uint16_t Value) { commNotificationLevel_ = Value; }
  TTapiMode TapiMode() const { return tapiMode_; }
  void SetTapiMode(TTapiMode Value) { tapiMode_ = Value; }
  bool RS485Mode() const { return rs485Mode_; }
  void SetRS485Mode(bool Value);
  uint16_t TriggerLength() const { return triggerLength_; }
  void SetTriggerLength(uint16_t Value);
  TRivuThreadBoost ThreadBoost() const { return threadBoost_; }
  void SetThreadBoost(TRivuThreadBoost Value);
  uint16_t BaseAddress();
  void SetBaseAddress(uint16_t Value);

  // Events; setting a trigger event updates the dispatcher's handler flag.
  TNotifyEvent OnPortOpen, OnPortClose;
  void SetOnTrigger(TTriggerEvent Event);
  void SetOnTriggerAvail(TTriggerAvailEvent Event);
  void SetOnTriggerData(TTriggerHandleEvent Event);
  void SetOnTriggerStatus(TTriggerHandleEvent Event);
  void SetOnTriggerTimer(TTriggerHandleEvent Event);
  void SetOnTriggerLineError(TTriggerLineErrorEvent Event);
  void SetOnTriggerModemStatus(TNotifyEvent Event);
  void SetOnTriggerOutbuffFree(TNotifyEvent Event);
  void SetOnTriggerOutbuffUsed(TNotifyEvent Event);
  void SetOnTriggerOutSent(TNotifyEvent Event);

  // --- State ---
  TPortState PortState() const { return portState_.load(); }
  // The current dispatcher; may open the port (valid-dispatcher rule).
  std::shared_ptr<TRivuBaseDispatcher> Dispatcher();
  void SetDispatcherFactory(TDispatcherFactory Factory) { factory_ = std::move(Factory); }
  // How long opening and closing wait for a user window on another thread to
  // take its message; one not taken by then gets it later, queued.
  void SetUserWaitTimeout(std::chrono::milliseconds Timeout) { userWait_ = Timeout; }

  // --- Block input and output (any thread) ---
  bool CharReady();
  uint8_t PeekChar(uint16_t Count);
  uint8_t GetChar();
  uint16_t PeekBlock(void* Block, uint16_t Len);
  uint16_t GetBlock(void* Block, uint16_t Len);
  void PutChar(uint8_t C);
  void PutString(const std::string& S);
  int32_t PutBlock(const void* Block, uint16_t Len);
  void FlushInBuffer();
  void FlushOutBuffer();
  virtual int32_t ProcessCommunications();
  // True once the port is closed or its device failed (the I/O threads
  // ended, as when an adapter is pulled out). Never opens the port.
  bool PortLost() const;
  // Sleeps until Count received bytes are buffered, Stop is requested, the
  // deadline passes, or the port closes or fails. Never opens the port.
  TDataWait WaitForData(uint32_t Count, std::chrono::steady_clock::time_point Deadline,
                        std::stop_token Stop = {});
  // Sleeps until every queued byte has left the port, at most Timeout.
  bool WaitOutputDrained(std::chrono::milliseconds Timeout);

  // --- Status ---
  uint8_t ModemStatus();
  bool DSR();
  bool CTS();
  bool RI();
  bool DCD();
  bool DeltaDSR();
  bool DeltaCTS();
  bool DeltaRI();
  bool DeltaDCD();
  uint16_t LineError();
  bool LineBreak();
  TFlowControlState FlowState();
  uint32_t InBuffUsed();
  uint32_t InBuffFree();
  uint32_t OutBuffUsed();
  uint32_t OutBuffFree();
  void SendBreak(uint32_t Ticks, bool Yield);
  void SetBreak(bool On);

  // --- Tracing and logging ---
  void InitTracing(uint32_t Size);
  void DumpTrace(const std::string& FName, bool InHex);
  void AppendTrace(const std::string& FName, bool InHex, TTraceLogState NewState);
  void ClearTracing();
  void AbortTracing();
  void StartTracing();
  void StopTracing();
  void AddTraceEntry(char Kind, char C);
  void InitLogging(uint32_t Size);
  void DumpLog(const std::string& FName, bool InHex);
  void AppendLog(const std::string& FName, bool InHex, TTraceLogState NewState);
  void ClearLogging();
  void AbortLogging();
  void StartLogging();
  void StopLogging();
  void AddStringToLog(const std::string& S);

  // --- Triggers (forwarded to the dispatcher) ---
  uint16_t AddDataTrigger(const std::string& Data, bool IgnoreCase);
  uint16_t AddTimerTrigger();
  uint16_t AddStatusTrigger(uint16_t SType);
  void RemoveTrigger(uint16_t Handle);
  void RemoveAllTriggers();
  void SetTimerTrigger(uint16_t Handle, int32_t Ticks, bool Activate);
  void SetStatusTrigger(uint16_t Handle, uint32_t Value, bool Activate);

  // --- Users that want to hear of open and close ---
  void RegisterUser(TNotifyWindow* Window);
  void RegisterUserEx(TNotifyWindow* Window);
  void RegisterUserCallback(TPortCallback Callback);
  void RegisterUserCallbackEx(TPortCallbackEx Callback);
  void DeregisterUser(TNotifyWindow* Window);
  void DeregisterUserCallback(TPortCallback Callback);
  void DeregisterUserCallbackEx(TPortCallbackEx Callback);

  void Loaded() override;
  // Copies the settings of another com port component (not its events, its
  // recorders' states or its open state); this port is closed first.
  void Assign(const TRivuBaseComponent& Source) override;
  // Marks the settings as restored from a stored description: Open true then
  // opens the port when Loaded runs.
  void ForcePortOpen();

  // TDispatcherOwner
  void CheckThreadResult(int32_t Code) override;

 protected:
  virtual void ActivateDeviceLayer();
  virtual void DeviceLayerChanged() {}
  virtual void InitializePort();
  virtual void RegisterComPort(bool Enabling);
  virtual void ValidateComport();
  virtual void Trigger(uint16_t Msg, uint16_t TriggerHandle, uint16_t Data);
  virtual void TriggerAvail(uint16_t Count);
  virtual void TriggerData(uint16_t TriggerHandle);
  virtual void TriggerStatus(uint16_t TriggerHandle);
  virtual void TriggerTimer(uint16_t TriggerHandle);
  virtual void UpdateHandlerFlag();
  virtual void TriggerLineError(uint16_t Error, bool LineBreak);
  virtual void TriggerModemStatus();
  virtual void TriggerOutbuffFree();
  virtual void TriggerOutbuffUsed();
  virtual void TriggerOutSent();
  virtual void DonePort();
  virtual void InitPort();
  virtual void PortClosing();
  virtual void PortClose();
  virtual void PortOpen();

 private:
  struct TUserEntry {
    TNotifyWindow* Window = nullptr;
    TPortCallback Callback = nullptr;
    TPortCallbackEx CallbackEx = nullptr;
    bool Extended = false;
  };
  class TRecorder;

  bool OwnerThread() const { return std::this_thread::get_id() == ownerThread_; }
  bool ShuttingDown() const { return PortState() == psShuttingDown; }
  // The owner's data operations while it closes the port do nothing (a
  // handler run by the close may call them); other threads still get the
  // valid-dispatcher rule's answer.
  bool OwnerClosingPort() const { return ShuttingDown() && OwnerThread(); }
  bool ModemBit(uint8_t Bit);
  // The dispatcher of an open port, or null; safe from any thread.
  std::shared_ptr<TRivuBaseDispatcher> Current() const;
  // The valid-dispatcher rule; raises ECommNotOpen when there is none.
  std::shared_ptr<TRivuBaseDispatcher> Valid();
  int32_t Check(int32_t Code) const;
  void Teardown();
  void StepClose();
  void EndClose(bool Deferred);
  void PostClose(const TRivuBaseDispatcher& Dispatcher);
  void UndoOpen();
  void Reapply(const std::function<void()>& Apply);
  void ApplyFlowThresholds(double FullFactor, double ResumeFactor);
  bool AnyTriggerEvent() const;
  intptr_t WindowProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam);
  void DeferredClose();
  void DispatchTrigger(uint32_t Msg, uint16_t Handle);
  void NotifyUser(TNotifyWindow* Window, uint32_t Msg) const;
  void TellUser(const TUserEntry& User, TRivuCallbackType Type);
  // Tells each of Users in turn; one that throws does not keep the others
  // from being told, and the first exception is raised afterwards.
  void TellUsers(const std::vector<TUserEntry>& Users, TRivuCallbackType Type);
  std::vector<TUserEntry> UsersLastFirst() const { return {users_.rbegin(), users_.rend()}; }
  std::unique_ptr<ITraceLogRecorder> TraceRecorder();
  std::unique_ptr<ITraceLogRecorder> LogRecorder();

  TSerialPlatform& platform_;
  const std::thread::id ownerThread_;

  TDeviceLayer deviceLayer_ = dlWin32;
  uint16_t comNumber_ = 0;
  int32_t baud_ = 19200;
  bool promptForPort_ = true;
  TParity parity_ = pNone;
  uint16_t dataBits_ = 8;
  uint16_t stopBits_ = 1;
  uint16_t inSize_ = 4096;
  uint16_t outSize_ = 4096;
  bool autoOpen_ = true;
  std::atomic<bool> open_{false};
  bool dtr_ = true;
  bool rts_ = true;
  THWFlowOptionSet hwFlowOptions_ = 0;
  TSWFlowOptions swFlowOptions_ = swfNone;
  char xOnChar_ = 17;
  char xOffChar_ = 19;
  uint16_t bufferFull_ = 0;
  uint16_t bufferResume_ = 0;
  TTraceLogSwitch trace_;
  TTraceLogSwitch log_;
  bool useEventWord_ = true;
  uint16_t commNotificationLevel_ = 10;
  TTapiMode tapiMode_ = tmAuto;
  bool rs485Mode_ = false;
  uint16_t triggerLength_ = 1;
  TRivuThreadBoost threadBoost_ = tbNone;
  uint16_t baseAddress_ = 0;

  TTriggerEvent onTrigger_;
  TTriggerAvailEvent onTriggerAvail_;
  TTriggerHandleEvent onTriggerData_, onTriggerStatus_, onTriggerTimer_;
  TTriggerLineErrorEvent onTriggerLineError_;
  TNotifyEvent onTriggerModemStatus_, onTriggerOutbuffFree_, onTriggerOutbuffUsed_,
      onTriggerOutSent_;

  std::atomic<TPortState> portState_{psClosed};
  bool reapply_ = false;
  bool openAfterLoad_ = false;
  bool destroying_ = false;

  // The close in progress; the port is psShuttingDown while there is one.
  // DonePort starts each close afresh at csRunning, StepClose alone moves it
  // on, and EndClose ends it:
  //   csRunning -> csNone                               at once, or
  //   csRunning -> csAwaitEvent -> csAwaitThreads -> csNone
  // when asked from inside one of our trigger events, where the dispatcher
  // thread waits for that event to return: the window takes the later steps.
  enum TCloseStep : uint8_t { csNone, csRunning, csAwaitEvent, csAwaitThreads };
  struct TClose {
    TCloseStep Step = csNone;
    // Open was set true while this close ran: a deferred close opens the
    // port again when it ends; a close that ends at once forgets it.
    bool Reopen = false;
  };
  TClose close_;
  // Depth of the trigger events running on the window now.
  int eventDepth_ = 0;
  // The users the open in progress has told so far: an open undone tells
  // them it closed.
  std::vector<TUserEntry> toldOpen_;
  TDeviceLayers allowedLayers_ = DeviceLayerBit(dlWin32);
  std::chrono::milliseconds userWait_{2000};
  bool triggersSaved_ = false;
  TTriggerSave savedTriggers_;
  std::unique_ptr<TNotifyWindow> window_;
  TDispatcherFactory factory_;
  std::vector<TUserEntry> users_;

  // Guards only the pointer: workers copy it, the owner swaps it.
  mutable std::mutex dispatcherMutex_;
  std::shared_ptr<TRivuBaseDispatcher> dispatcher_;
};

// Publishes the properties; nothing else.
class TRivuComPort : public TRivuCustomComPort {
 public:
  using TRivuCustomComPort::TRivuCustomComPort;
};

// "COM" followed by N in decimal.
std::string ComName(uint16_t N);
// The first com port component in a depth-first search of Owner's components.
TRivuCustomComPort* SearchComPort(TRivuBaseComponent* Owner);
