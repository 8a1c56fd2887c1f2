// The component's notification window, its trigger events, and its tracing
// and logging operations.
#include "serial/component/com_port.h"
#include "serial/errors/check_exception.h"
#include "serial/recording/dispatch_log.h"
#include "serial/recording/trace.h"

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

// The recorder operations do nothing while the port is shutting down.
void TRivuCustomComPort::InitTracing(uint32_t Size) {
  if (ShuttingDown()) return;
  trace_.Init(Size, TraceRecorder().get());
}
void TRivuCustomComPort::DumpTrace(const std::string& FName, bool InHex) {
  if (ShuttingDown()) return;
  trace_.Dump(FName, InHex, TraceRecorder().get());
}
void TRivuCustomComPort::AppendTrace(const std::string& FName, bool InHex,
                                     TTraceLogState NewState) {
  if (ShuttingDown()) return;
  trace_.Append(FName, InHex, NewState, TraceRecorder().get());
}
void TRivuCustomComPort::ClearTracing() {
  if (ShuttingDown()) return;
  trace_.Clear(TraceRecorder().get());
}
void TRivuCustomComPort::AbortTracing() {
  if (ShuttingDown()) return;
  trace_.Abort(TraceRecorder().get());
}
void TRivuCustomComPort::StartTracing() {
  if (ShuttingDown()) return;
  trace_.Start(TraceRecorder().get());
}
void TRivuCustomComPort::StopTracing() {
  if (ShuttingDown()) return;
  trace_.Stop(TraceRecorder().get());
}
void TRivuCustomComPort::InitLogging(uint32_t Size) {
  if (ShuttingDown()) return;
  log_.Init(Size, LogRecorder().get());
}
void TRivuCustomComPort::DumpLog(const std::string& FName, bool InHex) {
  if (ShuttingDown()) return;
  log_.Dump(FName, InHex, LogRecorder().get());
}
void TRivuCustomComPort::AppendLog(const std::string& FName, bool InHex, TTraceLogState NewState) {
  if (ShuttingDown()) return;
  log_.Append(FName, InHex, NewState, LogRecorder().get());
}
void TRivuCustomComPort::ClearLogging() {
  if (ShuttingDown()) return;
  log_.Clear(LogRecorder().get());
}
void TRivuCustomComPort::AbortLogging() {
  if (ShuttingDown()) return;
  log_.Abort(LogRecorder().get());
}
void TRivuCustomComPort::StartLogging() {
  if (ShuttingDown()) return;
  log_.Start(LogRecorder().get());
}
void TRivuCustomComPort::StopLogging() {
  if (ShuttingDown()) return;
  log_.Stop(LogRecorder().get());
}

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
  TRivuCustomComPort* owner = nullptr;
  try {
    {
      TRivuBaseDispatcher::LockPortList();
      struct Unlock {
        ~Unlock() { TRivuBaseDispatcher::UnlockPortList(); }
      } unlock;
      auto* d = TRivuBaseDispatcher::GetTComRecPtr(int32_t(uint32_t(LParam) >> 16));
      owner = d ? dynamic_cast<TRivuCustomComPort*>(d->Owner()) : nullptr;
      if (!owner) return 0;
      const auto handle = uint16_t(WParam);
      struct TEventDepth {
        int& Depth;
        explicit TEventDepth(int& d) : Depth(d) { ++Depth; }
        ~TEventDepth() { --Depth; }
      } depth(owner->eventDepth_);
      owner->Trigger(uint16_t(Msg), handle,
                     Msg == nmTriggerAvail ? handle : uint16_t(LParam & 0xFFFF));
      if (trigger) owner->DispatchTrigger(Msg, handle);
    }
    // Tearing down destroys the dispatcher, which stops its threads: never
    // under the port list lock, which they may want.
    if (Msg == cwPortClosing) owner->DeferredClose();
  } catch (const std::exception& e) {
    if (OwnerThread()) platform_.ShowBackgroundError(e.what());
  }
  return 0;
}

void TRivuCustomComPort::DispatchTrigger(uint32_t Msg, uint16_t Handle) {
  switch (Msg) {
    case nmTriggerAvail:
      TriggerAvail(Handle);
      break;
    case nmTriggerData:
      TriggerData(Handle);
      break;
    case nmTriggerTimer:
      TriggerTimer(Handle);
      break;
    case nmTriggerStatus:
      TriggerStatus(Handle);
      switch (TRivuBaseDispatcher::ClassifyStatusTrigger(Handle)) {
        case stModem:
          TriggerModemStatus();
          break;
        case stLine:
          TriggerLineError(LineError(), LineBreak());
          break;
        case stOutFree:
          TriggerOutbuffFree();
          break;
        case stOutUsed:
          TriggerOutbuffUsed();
          break;
        case stOutSent:
          TriggerOutSent();
          break;
      }
      break;
  }
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
