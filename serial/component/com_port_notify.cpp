// The component's notification window, its trigger events, and its tracing
// and logging operations.
#include "serial/check_exception.h"
#include "serial/com_port.h"
#include "serial/dispatch_log.h"
#include "serial/trace.h"

// Drives the open port's trace or dispatch log for the state switches.
class TRivuCustomComPort::TRecorder : public ITraceLogRecorder {
 public:
  TRecorder(std::shared_ptr<TRivuBaseDispatcher> d, bool trace) : d_(std::move(d)), trace_(trace) {}

  int32_t Init(uint32_t size) override {
    if (trace_) return d_->Trace().InitTracing(size);
    d_->DispatchLog().InitDispatchLogging(size);
    return 0;
  }
  int32_t Clear() override {
    if (trace_) return d_->Trace().ClearTracing();
    d_->DispatchLog().ClearDispatchLogging();
    return 0;
  }
  void Abort() override {
    trace_ ? d_->Trace().AbortTracing() : d_->DispatchLog().AbortDispatchLogging();
  }
  void Start() override {
    trace_ ? d_->Trace().StartTracing() : d_->DispatchLog().StartDispatchLogging();
  }
  void Stop() override {
    trace_ ? d_->Trace().StopTracing() : d_->DispatchLog().StopDispatchLogging();
  }
  int32_t Dump(const std::string& name, bool inHex, bool allHex) override {
    return trace_ ? d_->Trace().DumpTrace(name, inHex, allHex)
                  : d_->DispatchLog().DumpDispatchLog(name, inHex, allHex, d_->PortName());
  }
  int32_t Append(const std::string& name, bool inHex, bool allHex) override {
    return trace_ ? d_->Trace().AppendTrace(name, inHex, allHex)
                  : d_->DispatchLog().AppendDispatchLog(name, inHex, allHex, d_->PortName());
  }
  bool Recording() const override {
    return trace_ ? d_->Trace().TracingOn() : d_->DispatchLog().DLoggingOn();
  }

 private:
  std::shared_ptr<TRivuBaseDispatcher> d_;
  bool trace_;
};

std::unique_ptr<ITraceLogRecorder> TRivuCustomComPort::TraceRecorder() {
  const auto d = PortState() == psOpen ? Current() : nullptr;
  return d ? std::make_unique<TRecorder>(d, true) : nullptr;
}

std::unique_ptr<ITraceLogRecorder> TRivuCustomComPort::LogRecorder() {
  const auto d = PortState() == psOpen ? Current() : nullptr;
  return d ? std::make_unique<TRecorder>(d, false) : nullptr;
}

void TRivuCustomComPort::SetTracing(TTraceLogState Value) {
  trace_.SetState(Value, TraceRecorder().get(), reapply_);
}
void TRivuCustomComPort::SetLogging(TTraceLogState Value) {
  log_.SetState(Value, LogRecorder().get(), reapply_);
}
void TRivuCustomComPort::SetTraceSize(uint32_t Value) {
  trace_.SetSize(Value, TraceRecorder().get());
}
void TRivuCustomComPort::SetLogSize(uint32_t Value) {
  log_.SetSize(Value, LogRecorder().get());
}

// The operations do nothing while the port is shutting down.
#define RIVU_RECORDER_OP(Name, Switch, Recorder, Call) \
  void TRivuCustomComPort::Name {                      \
    if (ShuttingDown()) return;                        \
    const auto recorder = Recorder();                  \
    Switch.Call;                                       \
  }
RIVU_RECORDER_OP(InitTracing(uint32_t Size), trace_, TraceRecorder, Init(Size, recorder.get()))
RIVU_RECORDER_OP(DumpTrace(const std::string& FName, bool InHex), trace_, TraceRecorder,
                 Dump(FName, InHex, recorder.get()))
RIVU_RECORDER_OP(AppendTrace(const std::string& FName, bool InHex, TTraceLogState NewState), trace_,
                 TraceRecorder, Append(FName, InHex, NewState, recorder.get()))
RIVU_RECORDER_OP(ClearTracing(), trace_, TraceRecorder, Clear(recorder.get()))
RIVU_RECORDER_OP(AbortTracing(), trace_, TraceRecorder, Abort(recorder.get()))
RIVU_RECORDER_OP(StartTracing(), trace_, TraceRecorder, Start(recorder.get()))
RIVU_RECORDER_OP(StopTracing(), trace_, TraceRecorder, Stop(recorder.get()))
RIVU_RECORDER_OP(InitLogging(uint32_t Size), log_, LogRecorder, Init(Size, recorder.get()))
RIVU_RECORDER_OP(DumpLog(const std::string& FName, bool InHex), log_, LogRecorder,
                 Dump(FName, InHex, recorder.get()))
RIVU_RECORDER_OP(AppendLog(const std::string& FName, bool InHex, TTraceLogState NewState), log_,
                 LogRecorder, Append(FName, InHex, NewState, recorder.get()))
RIVU_RECORDER_OP(ClearLogging(), log_, LogRecorder, Clear(recorder.get()))
RIVU_RECORDER_OP(AbortLogging(), log_, LogRecorder, Abort(recorder.get()))
RIVU_RECORDER_OP(StartLogging(), log_, LogRecorder, Start(recorder.get()))
RIVU_RECORDER_OP(StopLogging(), log_, LogRecorder, Stop(recorder.get()))
#undef RIVU_RECORDER_OP

void TRivuCustomComPort::AddTraceEntry(char Kind, char C) {
  if (ShuttingDown()) return;
  if (const auto d = PortState() == psOpen ? Current() : nullptr) {
    d->Trace().AddTraceEntry(Kind, uint8_t(C));
  }
}

void TRivuCustomComPort::AddStringToLog(const std::string& S) {
  if (ShuttingDown()) return;
  if (const auto d = Valid()) d->DispatchLog().AddStringToLog(S);
}

intptr_t TRivuCustomComPort::WindowProc(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  const bool trigger = Msg >= nmTriggerAvail && Msg <= nmTriggerStatus;
  if (!trigger && Msg != cwPortClosing) return 0;
  if (Msg == cwPortClosing) {
    // Tearing down may destroy the dispatcher, which takes the port list
    // lock itself: run it outside.
    try {
      DeferredClose(LParam);
    } catch (const std::exception& e) {
      if (OwnerThread()) platform_.ShowBackgroundError(e.what());
    }
    return 0;
  }
  TRivuBaseDispatcher::LockPortList();
  struct Unlock {
    ~Unlock() { TRivuBaseDispatcher::UnlockPortList(); }
  } unlock;
  auto* d = TRivuBaseDispatcher::GetTComRecPtr(int32_t(uint32_t(LParam) >> 16));
  auto* owner = d ? dynamic_cast<TRivuCustomComPort*>(d->Owner()) : nullptr;
  if (!owner) return 0;
  try {
    const auto handle = uint16_t(WParam);
    owner->Trigger(uint16_t(Msg), handle,
                   Msg == nmTriggerAvail ? handle : uint16_t(LParam & 0xFFFF));
    switch (Msg) {
      case nmTriggerAvail:
        owner->TriggerAvail(handle);
        break;
      case nmTriggerData:
        owner->TriggerData(handle);
        break;
      case nmTriggerTimer:
        owner->TriggerTimer(handle);
        break;
      case nmTriggerStatus:
        owner->TriggerStatus(handle);
        switch (TRivuBaseDispatcher::ClassifyStatusTrigger(handle)) {
          case stModem:
            owner->TriggerModemStatus();
            break;
          case stLine:
            owner->TriggerLineError(owner->LineError(), owner->LineBreak());
            break;
          case stOutFree:
            owner->TriggerOutbuffFree();
            break;
          case stOutUsed:
            owner->TriggerOutbuffUsed();
            break;
          case stOutSent:
            owner->TriggerOutSent();
            break;
        }
        break;
    }
  } catch (const std::exception& e) {
    if (OwnerThread()) platform_.ShowBackgroundError(e.what());
  }
  return 0;
}

void TRivuCustomComPort::Trigger(uint16_t Msg, uint16_t TriggerHandle, uint16_t Data) {
  if (onTrigger_) onTrigger_(*this, Msg, TriggerHandle, Data);
}
void TRivuCustomComPort::TriggerAvail(uint16_t Count) {
  if (onTriggerAvail_) onTriggerAvail_(*this, Count);
}
void TRivuCustomComPort::TriggerData(uint16_t TriggerHandle) {
  if (onTriggerData_) onTriggerData_(*this, TriggerHandle);
}
void TRivuCustomComPort::TriggerStatus(uint16_t TriggerHandle) {
  if (onTriggerStatus_) onTriggerStatus_(*this, TriggerHandle);
}
void TRivuCustomComPort::TriggerTimer(uint16_t TriggerHandle) {
  if (onTriggerTimer_) onTriggerTimer_(*this, TriggerHandle);
}
void TRivuCustomComPort::TriggerLineError(uint16_t Error, bool LineBreak) {
  if (onTriggerLineError_) onTriggerLineError_(*this, Error, LineBreak);
}
void TRivuCustomComPort::TriggerModemStatus() {
  if (onTriggerModemStatus_) onTriggerModemStatus_(*this);
}
void TRivuCustomComPort::TriggerOutbuffFree() {
  if (onTriggerOutbuffFree_) onTriggerOutbuffFree_(*this);
}
void TRivuCustomComPort::TriggerOutbuffUsed() {
  if (onTriggerOutbuffUsed_) onTriggerOutbuffUsed_(*this);
}
void TRivuCustomComPort::TriggerOutSent() {
  if (onTriggerOutSent_) onTriggerOutSent_(*this);
}
