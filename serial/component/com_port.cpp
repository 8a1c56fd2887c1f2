#include "serial/component/com_port.h"

#include <cstdio>
#include <exception>
#include <utility>

#include "serial/component/first_failure.h"
#include "serial/dispatcher/device_layer.h"
#include "serial/errors/check_exception.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/exceptions.h"
#include "serial/errors/port_error_numbers.h"
#include "serial/ports/port_access.h"
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

namespace {

// The message for a device the user may not open: which device, why, and the
// fix that fits it.
std::string PermissionMessage(const std::string& path) {
  return PermissionAdvice(path);
}

}  // namespace

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
  if (PortState() == psShuttingDown && !Designing() && !Loading()) {
    // Open reads true until a deferred close completes; what is asked now
    // is whether the port opens again once it has.
    close_.Reopen = Value;
    return;
  }
  if (Value == Open()) return;
  if (Designing() || Loading()) {
    open_ = Value;
    if (Value) openAfterLoad_ = true;
    return;
  }
  if (Value) {
    if (PortState() == psClosed) InitPort();
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
  toldOpen_.clear();
  bool restored = false;
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
      restored = true;
    }
    // A user that refuses the open (a handler that throws) closes it again.
    PortOpen();
    toldOpen_.clear();
  } catch (...) {
    reapply_ = false;
    if (restored) {
      // The next open gets the triggers this one was given.
      Current()->SaveTriggers(savedTriggers_);
      triggersSaved_ = true;
    }
    UndoOpen();
    throw;
  }
}

// The users already told of the open hear it close again, as at a close;
// what they raise gives way to the reason the open failed.
void TRivuCustomComPort::UndoOpen() {
  const auto told = std::exchange(toldOpen_, {});
  if (!told.empty()) {
    portState_ = psShuttingDown;
    TFirstFailure().Run([&] { TellUsers(told, ctClosing); });
  }
  Teardown();
  if (!told.empty()) TFirstFailure().Run([&] { TellUsers(told, ctClosed); });
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

// Whatever a recorder or a user raises on the way, the close goes through to
// its end (device closed, threads stopped or being stopped, users told), and
// the first failure is raised once it is done.
void TRivuCustomComPort::DonePort() {
  if (PortState() != psOpen) return;
  TFirstFailure failures;
  failures.Run([this] { SetTracing(tlDump); });
  failures.Run([this] { SetLogging(tlDump); });
  portState_ = psShuttingDown;
  close_ = {.Step = csRunning};
  failures.Run([this] { PortClosing(); });
  Current()->SaveTriggers(savedTriggers_);
  triggersSaved_ = true;
  failures.Run([this] { StepClose(); });
  failures.Run([this] { PortClose(); });
  failures.Rethrow();
}

void TRivuCustomComPort::StepClose() {
  const auto dispatcher = Current();
  switch (close_.Step) {
    case csNone:
      return;
    case csRunning:
      if (eventDepth_ == 0 || !window_) {
        dispatcher->DonePort();
        EndClose(false);
        return;
      }
      // Closed from inside one of our trigger events: the dispatcher thread
      // is waiting for this very event to return, so its threads cannot be
      // stopped yet. What is buffered goes now; nothing more is sent.
      dispatcher->FlushOutBuffer();
      dispatcher->FlushInBuffer();
      close_.Step = csAwaitEvent;
      PostClose(*dispatcher);
      platform_.ProcessPendingEvents();
      return;
    case csAwaitEvent:
      if (eventDepth_ > 0) return PostClose(*dispatcher);
      dispatcher->DonePort();
      close_.Step = csAwaitThreads;
      [[fallthrough]];
    case csAwaitThreads:
      if (dispatcher->DispatcherActiveNow()) return PostClose(*dispatcher);
      EndClose(true);
      return;
  }
}

void TRivuCustomComPort::EndClose(bool Deferred) {
  const bool reopen = Deferred && close_.Reopen && !destroying_;
  close_ = {};
  Teardown();
  if (reopen) InitPort();
}

void TRivuCustomComPort::PostClose(const TRivuBaseDispatcher& Dispatcher) {
  window_->Post(cwPortClosing, 0, intptr_t(Dispatcher.PortIndex()) << 16);
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

void TRivuCustomComPort::DeferredClose() {
  if (Current()) StepClose();
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

// A window on the calling thread runs the message at once; one on another
// thread is waited for, within a bound: its thread may itself be waiting on
// this port.
void TRivuCustomComPort::NotifyUser(TNotifyWindow* Window, uint32_t Msg) const {
  Window->Deliver(Msg, 0, 0, int(userWait_.count()));
}

void TRivuCustomComPort::TellUser(const TUserEntry& User, TRivuCallbackType Type) {
  if (Type == ctClosing && !User.Extended) return;
  if (User.Window) {
    NotifyUser(User.Window, Type == ctOpen      ? cwPortOpened
                            : Type == ctClosing ? cwPortClosing
                                                : cwPortClosed);
  } else if (User.CallbackEx) {
    User.CallbackEx(this, Type);
  } else if (User.Callback) {
    User.Callback(this, Type == ctOpen);
  }
}

void TRivuCustomComPort::TellUsers(const std::vector<TUserEntry>& Users, TRivuCallbackType Type) {
  TFirstFailure failures;
  for (const auto& user : Users) failures.Run([&] { TellUser(user, Type); });
  failures.Rethrow();
}

// The user list is walked on a copy, from the last registered to the first:
// a user may register or deregister while it is told. The first that throws
// refuses the open.
void TRivuCustomComPort::PortOpen() {
  for (const auto& user : UsersLastFirst()) {
    TellUser(user, ctOpen);
    toldOpen_.push_back(user);
  }
  if (OnPortOpen) OnPortOpen(*this);
}

void TRivuCustomComPort::PortClosing() {
  TellUsers(UsersLastFirst(), ctClosing);
}

void TRivuCustomComPort::PortClose() {
  TFirstFailure failures;
  failures.Run([this] { TellUsers(UsersLastFirst(), ctClosed); });
  failures.Run([this] {
    if (OnPortClose) OnPortClose(*this);
  });
  failures.Rethrow();
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
// A null argument would match the entries of the other kinds.
void TRivuCustomComPort::DeregisterUser(TNotifyWindow* Window) {
  if (destroying_ || !Window) return;
  std::erase_if(users_, [&](const TUserEntry& e) { return e.Window == Window; });
}
void TRivuCustomComPort::DeregisterUserCallback(TPortCallback Callback) {
  if (destroying_ || !Callback) return;
  std::erase_if(users_, [&](const TUserEntry& e) { return e.Callback == Callback; });
}
void TRivuCustomComPort::DeregisterUserCallbackEx(TPortCallbackEx Callback) {
  if (destroying_ || !Callback) return;
  std::erase_if(users_, [&](const TUserEntry& e) { return e.CallbackEx == Callback; });
}

void TRivuCustomComPort::Assign(const TRivuBaseComponent& Source) {
  const auto* from = dynamic_cast<const TRivuCustomComPort*>(&Source);
  if (!from) return TRivuBaseComponent::Assign(Source);
  if (from == this) return;
  SetOpen(false);
  deviceLayer_ = from->deviceLayer_;
  comNumber_ = from->comNumber_;
  baud_ = from->baud_;
  promptForPort_ = from->promptForPort_;
  parity_ = from->parity_;
  dataBits_ = from->dataBits_;
  stopBits_ = from->stopBits_;
  inSize_ = from->inSize_;
  outSize_ = from->outSize_;
  autoOpen_ = from->autoOpen_;
  dtr_ = from->dtr_;
  rts_ = from->rts_;
  hwFlowOptions_ = from->hwFlowOptions_;
  swFlowOptions_ = from->swFlowOptions_;
  xOnChar_ = from->xOnChar_;
  xOffChar_ = from->xOffChar_;
  bufferFull_ = from->bufferFull_;
  bufferResume_ = from->bufferResume_;
  SetTraceSize(from->TraceSize());
  SetTraceName(from->TraceName());
  SetTraceHex(from->TraceHex());
  SetTraceAllHex(from->TraceAllHex());
  SetLogSize(from->LogSize());
  SetLogName(from->LogName());
  SetLogHex(from->LogHex());
  SetLogAllHex(from->LogAllHex());
  useEventWord_ = from->useEventWord_;
  commNotificationLevel_ = from->commNotificationLevel_;
  tapiMode_ = from->tapiMode_;
  rs485Mode_ = from->rs485Mode_;
  triggerLength_ = from->triggerLength_;
  threadBoost_ = from->threadBoost_;
}
