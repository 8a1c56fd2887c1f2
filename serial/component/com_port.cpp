#include "serial/component/com_port.h"

#include <cstdio>

#include "serial/dispatcher/device_layer.h"
#include "serial/errors/check_exception.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/exceptions.h"
#include "serial/errors/port_error_numbers.h"
#include "serial/ports/port_map.h"
#include "serial/ports/port_probe.h"

std::string ComName(uint16_t N) {
  return "COM" + std::to_string(N);
}

TRivuCustomComPort* SearchComPort(TRivuBaseComponent* Owner) {
  if (!Owner) return nullptr;
  for (auto* child : Owner->Components()) {
    if (auto* port = dynamic_cast<TRivuCustomComPort*>(child)) return port;
    if (auto* found = SearchComPort(child)) return found;
  }
  return nullptr;
}

TRivuCustomComPort::TRivuCustomComPort(TRivuBaseComponent* Owner, TSerialPlatform* Platform)
    : TRivuBaseComponent(Owner),
      platform_(Platform ? *Platform : SerialPlatform()),
      ownerThread_(std::this_thread::get_id()),
      trace_(kMaxTraceEntries, 10000, "RIVU.TRC", true, false, this),
      log_(kMaxLogSize, 10000, "RIVU.LOG", true, false, this) {}

TRivuCustomComPort::~TRivuCustomComPort() {
  destroying_ = true;
  if (PortState() == psOpen) {
    try {
      DonePort();
    } catch (...) {
      // A destructor must not throw; the port is closed all the same.
    }
  }
  Teardown();
  users_.clear();
  TRivuBaseDispatcher::ClearSaveBuffers(savedTriggers_);
}

std::shared_ptr<TRivuBaseDispatcher> TRivuCustomComPort::Current() const {
  std::lock_guard lock(dispatcherMutex_);
  return dispatcher_;
}

int32_t TRivuCustomComPort::Check(int32_t Code) const {
  return CheckException(this, Code);
}

void TRivuCustomComPort::SetOpen(bool Value) {
  if (Value == Open()) return;
  if (Designing() || Loading()) {
    open_ = Value;
    if (Value) openAfterLoad_ = true;
    return;
  }
  if (Value) {
    if (PortState() == psClosed) {
      InitPort();
    } else {
      openAfterClose_ = true;
    }
  } else {
    DonePort();
  }
}

void TRivuCustomComPort::ForcePortOpen() {
  if (autoOpen_) openAfterLoad_ = true;
}

void TRivuCustomComPort::Loaded() {
  TRivuBaseComponent::Loaded();
  if (Designing()) return;
  if (openAfterLoad_) open_ = true;
  if (!Open()) return;
  openAfterLoad_ = false;
  try {
    InitPort();
  } catch (const std::exception& e) {
    open_ = false;
    platform_.ShowBackgroundError(e.what());
  }
}

void TRivuCustomComPort::ValidateComport() {
  if (comNumber_ != 0) return;
  if (!promptForPort_) throw ENoPortSelected(ecNoPortSelected);
  // The prompt destroys its dialog itself, also when reading the choice throws.
  const int chosen = platform_.PromptForPort();
  if (chosen <= 0) throw ENoPortSelected(ecNoPortSelected);
  SetComNumber(static_cast<uint16_t>(chosen));
}

void TRivuCustomComPort::ActivateDeviceLayer() {
  std::shared_ptr<TRivuBaseDispatcher> created;
  if (factory_) {
    created = factory_(*this);
  } else if (deviceLayer_ != dlWin32) {
    throw ENullApi(ecNullApi);
  } else {
    created = MakeDeviceDispatcher(this, &platform_);
  }
  std::lock_guard lock(dispatcherMutex_);
  dispatcher_ = std::move(created);
}

void TRivuCustomComPort::InitializePort() {
  const auto dispatcher = Current();
  // The port map says which device a number stands for; none gives the
  // "no such device" number, as a missing device would.
  const std::string path = CurrentPortMap().PathOf(comNumber_);
  uint32_t options = 0;
  if (dtr_) options |= 0x01;
  if (rts_) options |= 0x02;
  if (hwFlowOptions_ & HWFlowBit(hwfUseDTR)) options |= 0x10;
  if (hwFlowOptions_ & HWFlowBit(hwfUseRTS)) options |= 0x20;
  const int32_t result = path.empty()
                             ? -oeFileNotFound
                             : dispatcher->InitPort(path, uint32_t(baud_), parity_, dataBits_,
                                                    stopBits_, inSize_, outSize_, options);
  if (result == -oeAccessDenied) Check(ecAlreadyOpen);
  if (result == -oeFileNotFound || result == -oePathNotFound) Check(ecBadId);
  if (result == -oePermissionDenied) throw EInOutError(PermissionMessage(path), oePermissionDenied);
  if (result != 0) Check(result);
}

void TRivuCustomComPort::InitPort() {
  ValidateComport();
  ActivateDeviceLayer();
  Current()->SetPortName(ComName(comNumber_));
  try {
    InitializePort();
    portState_ = psOpen;
    UpdateHandlerFlag();
    Reapply([this] {
      SetTracing(Tracing());
      SetLogging(Logging());
      SetHWFlowOptions(hwFlowOptions_);
      SetSWFlowOptions(swFlowOptions_);
      SetXOnChar(xOnChar_);
      SetXOffChar(xOffChar_);
      SetTriggerLength(triggerLength_);
      SetDTR(dtr_);
      SetRTS(rts_);
      SetUseEventWord(useEventWord_);
      SetRS485Mode(rs485Mode_);
      SetThreadBoost(threadBoost_);
    });
    open_ = true;
    RegisterComPort(true);
    if (triggersSaved_) {
      triggersSaved_ = false;
      Current()->RestoreTriggers(savedTriggers_);
    }
  } catch (...) {
    reapply_ = false;
    open_ = false;
    Teardown();
    throw;
  }
  PortOpen();
}

void TRivuCustomComPort::Reapply(const std::function<void()>& Apply) {
  reapply_ = true;
  try {
    Apply();
  } catch (...) {
    reapply_ = false;
    throw;
  }
  reapply_ = false;
}

void TRivuCustomComPort::DonePort() {
  if (PortState() != psOpen) return;
  SetTracing(tlDump);
  SetLogging(tlDump);
  portState_ = psShuttingDown;
  PortClosing();
  const auto dispatcher = Current();
  dispatcher->SaveTriggers(savedTriggers_);
  triggersSaved_ = true;
  dispatcher->DonePort();
  if (dispatcher->NotifyingNow() && window_) {
    // Closed from inside a notification: the dispatcher thread finishes the
    // release; the window completes the close once it has.
    window_->Post(cwPortClosing, 0, intptr_t(dispatcher->PortIndex()) << 16);
    platform_.ProcessPendingEvents();
  } else {
    Teardown();
  }
  PortClose();
}

// Forgets the dispatcher; calls in progress on other threads keep it alive
// until they return.
void TRivuCustomComPort::Teardown() {
  RegisterComPort(false);
  std::shared_ptr<TRivuBaseDispatcher> old;
  {
    std::lock_guard lock(dispatcherMutex_);
    old.swap(dispatcher_);
  }
  portState_ = psClosed;
  open_ = false;
}

void TRivuCustomComPort::DeferredClose(intptr_t) {
  const auto dispatcher = Current();
  if (dispatcher && dispatcher->DispatcherActiveNow()) {
    window_->Post(cwPortClosing, 0, intptr_t(dispatcher->PortIndex()) << 16);
    return;
  }
  Teardown();
  if (openAfterClose_) {
    openAfterClose_ = false;
    InitPort();
  }
}

void TRivuCustomComPort::RegisterComPort(bool Enabling) {
  const auto dispatcher = Current();
  if (Enabling) {
    window_ = platform_.CreateNotifyWindow([this](uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
      return WindowProc(Msg, WParam, LParam);
    });
    if (dispatcher) dispatcher->RegisterWndTriggerHandler(window_.get());
  } else if (window_) {
    if (dispatcher) dispatcher->DeregisterWndTriggerHandler(window_.get());
    window_.reset();
  }
}

void TRivuCustomComPort::PortOpen() {
  for (auto it = users_.rbegin(); it != users_.rend(); ++it) {
    if (it->Window) {
      it->Window->Send(cwPortOpened, 0, 0, -1);
    } else if (it->CallbackEx) {
      it->CallbackEx(this, ctOpen);
    } else if (it->Callback) {
      it->Callback(this, true);
    }
  }
  if (OnPortOpen) OnPortOpen(*this);
}

void TRivuCustomComPort::PortClosing() {
  for (auto it = users_.rbegin(); it != users_.rend(); ++it) {
    if (!it->Extended) continue;
    if (it->Window) {
      it->Window->Send(cwPortClosing, 0, 0, -1);
    } else if (it->CallbackEx) {
      it->CallbackEx(this, ctClosing);
    }
  }
}

void TRivuCustomComPort::PortClose() {
  for (auto it = users_.rbegin(); it != users_.rend(); ++it) {
    if (it->Window) {
      it->Window->Send(cwPortClosed, 0, 0, -1);
    } else if (it->CallbackEx) {
      it->CallbackEx(this, ctClosed);
    } else if (it->Callback) {
      it->Callback(this, false);
    }
  }
  if (OnPortClose) OnPortClose(*this);
}

void TRivuCustomComPort::CheckThreadResult(int32_t Code) {
  CheckException(this, Code);
}

void TRivuCustomComPort::RegisterUser(TNotifyWindow* Window) {
  users_.push_back({.Window = Window});
}
void TRivuCustomComPort::RegisterUserEx(TNotifyWindow* Window) {
  users_.push_back({.Window = Window, .Extended = true});
}
void TRivuCustomComPort::RegisterUserCallback(TPortCallback Callback) {
  users_.push_back({.Callback = Callback});
}
void TRivuCustomComPort::RegisterUserCallbackEx(TPortCallbackEx Callback) {
  users_.push_back({.CallbackEx = Callback, .Extended = true});
}
void TRivuCustomComPort::DeregisterUser(TNotifyWindow* Window) {
  if (!destroying_) std::erase_if(users_, [&](const TUserEntry& e) { return e.Window == Window; });
}
void TRivuCustomComPort::DeregisterUserCallback(TPortCallback Callback) {
  if (!destroying_) {
    std::erase_if(users_, [&](const TUserEntry& e) { return e.Callback == Callback; });
  }
}
void TRivuCustomComPort::DeregisterUserCallbackEx(TPortCallbackEx Callback) {
  if (!destroying_) {
    std::erase_if(users_, [&](const TUserEntry& e) { return e.CallbackEx == Callback; });
  }
}
