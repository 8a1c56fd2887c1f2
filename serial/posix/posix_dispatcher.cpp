#include "serial/posix/posix_dispatcher.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <thread>

#include "serial/errors/error_codes.h"
#include "serial/posix/port_errors.h"
#include "serial/posix/posix_device.h"
#include "serial/posix/posix_threads.h"
#include "serial/posix/thread_name.h"

TRivuPosixDispatcher::TRivuPosixDispatcher(TDispatcherOwner* Owner, TSerialPlatform* Platform)
    : TRivuBaseDispatcher(Owner, Platform),
      KillFd_(posixdev::MakeWakeFd()),
      WriteWakeFd_(posixdev::MakeWakeFd()),
      ReadWakeFd_(posixdev::MakeWakeFd()) {}

TRivuPosixDispatcher::~TRivuPosixDispatcher() {
  Shutdown();
  posixdev::CloseWakeFd(KillFd_);
  posixdev::CloseWakeFd(WriteWakeFd_);
  posixdev::CloseWakeFd(ReadWakeFd_);
}

void TRivuPosixDispatcher::SetKillThreads() {
  TRivuBaseDispatcher::SetKillThreads();
  posixdev::SignalWakeFd(KillFd_);
}

void TRivuPosixDispatcher::NameThread(const char* Name) {
  NameThisThread(Name);
}

// --- Opening and closing ---

int32_t TRivuPosixDispatcher::OpenCom(const std::string& Name, int32_t, int32_t) {
  int32_t Error = 0;
  const int Fd = posixdev::Open(Name, Error);
  if (Fd < 0) {
    LastError_ = Error;
    return -1;
  }
  std::lock_guard Lock(FdMutex_);
  SetDeviceHandle(Fd);
  ModemLinesOk_ = posixdev::ModemLinesSupported(Fd);
  Shadow_ = TDcb{};
  posixdev::GetState(Fd, Shadow_, Shadow_, Error);
  return Fd;
}

int32_t TRivuPosixDispatcher::CloseCom() {
  int32_t Result = 0;
  if (!BeginClose(Result)) return Result;
  StopThreads([this](TIoThread, TRivuDispatcherThread* Thread) { WaitThreadEnd(Thread, -1); });
  {
    std::lock_guard Lock(FdMutex_);
    const int Fd = ComHandleNow();
    if (Fd >= 0) {
      // The kernel releases the number even when close fails; kept, it could
      // later close a descriptor that has taken it since.
      SetDeviceHandle(-1);
      // The port keeps its RS-485 mode past the close: the next program to
      // open it would find RTS toggling that it never asked for.
      if (Shadow_.fRtsControl == dcRtsToggle) posixdev::SetRs485(Fd, false);
      if (!posixdev::Close(Fd)) Result = -1;
    }
  }
  return EndClose(Result);
}

void TRivuPosixDispatcher::StartDispatcher() {
  LaunchThreads(
      [this] {
        // A previous run's wake-ups must not reach the new threads.
        posixdev::DrainWakeFd(KillFd_);
        posixdev::DrainWakeFd(WriteWakeFd_);
        posixdev::DrainWakeFd(ReadWakeFd_);
      },
      std::make_unique<TReadThread>(*this), std::make_unique<TWriteThread>(*this),
      std::make_unique<TStatusThread>(*this));
}

void TRivuPosixDispatcher::StopDispatcher() {
  // The events live as long as the dispatcher, so a late waiter never
  // touches a freed one.
  if (DispatcherActiveNow()) CloseCom();
}

// --- Device operations ---

int32_t TRivuPosixDispatcher::EscapeComFunction(int32_t Code) {
  std::lock_guard Lock(FdMutex_);
  const int Fd = ComHandleNow();
  if (Fd < 0) return 0;
  switch (Code) {
    case efSetDtr:
    case efClrDtr:
      posixdev::SetModemLine(Fd, true, Code == efSetDtr);
      break;
    case efSetRts:
    case efClrRts:
      posixdev::SetModemLine(Fd, false, Code == efSetRts);
      break;
    default:
      break;
  }
  return 0;
}

int32_t TRivuPosixDispatcher::GetComState(TDcb& Record) {
  std::lock_guard Lock(FdMutex_);
  const int Fd = ComHandleNow();
  int32_t Error = 0;
  if (Fd < 0 || !posixdev::GetState(Fd, Shadow_, Record, Error)) return -1;
  return 0;
}

int32_t TRivuPosixDispatcher::SetComState(TDcb& Record) {
  std::lock_guard Lock(FdMutex_);
  const int Fd = ComHandleNow();
  if (Fd < 0) return -oeInvalidHandle;
  int32_t Error = 0;
  ++StateWrites_;
  if (!posixdev::SetState(Fd, Record, Error)) {
    LastError_ = Error;
    return -Error;
  }
  Shadow_ = Record;
  InputHold_.SetLimits(InputLimits(Record, ReceiveQueueSize()));
  WakeHeldOffInput();
  return 0;
}

uint32_t TRivuPosixDispatcher::GetComError(TComStat& Stat) {
  Stat.InQue = uint32_t(GetQueue().FirstDataAvailable());
  Stat.OutQue = uint32_t(OutBufUsed());
  return PendingErrors_.exchange(0);
}

bool TRivuPosixDispatcher::ReportStatusChange(const TStatusChange& Change) {
  if (Change.Errors) AddDeviceErrors(Change.Errors);
  // Before the report, so that the reading it brings carries them.
  if (Change.Pulses) AddLinePulses(Change.Pulses);
  if (!(Change.Events & evStatusEvents)) return true;
  try {
    GetQueue().Push(std::make_unique<TStatusBuffer>(Change.Events));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

uint8_t TRivuPosixDispatcher::GetComModemLines() {
  if (!ModemLinesOk_) return 0;
  std::lock_guard Lock(FdMutex_);
  const int Fd = ComHandleNow();
  return Fd < 0 ? 0 : posixdev::ModemLines(Fd);
}

uint32_t TRivuPosixDispatcher::DeviceOutputQueued() {
  std::lock_guard Lock(FdMutex_);
  const int Fd = ComHandleNow();
  return Fd < 0 ? 0 : posixdev::OutputQueued(Fd);
}

bool TRivuPosixDispatcher::PurgeDriverOutput() {
  // The descriptor is closed only once the write thread has ended.
  const int Fd = ComHandleNow();
  return Fd >= 0 && posixdev::Purge(Fd, false);
}

void TRivuPosixDispatcher::WakeWriter(bool) {
  posixdev::SignalWakeFd(WriteWakeFd_);
}

void TRivuPosixDispatcher::RestBetweenReads(int TimeoutMs) {
  // Either this thread sees the waiter, or the waiter sees the rest and wakes it.
  ReadResting_ = true;
  if (DataWaitersNow() == 0) {
    posixdev::Wait(-1, posixdev::TWaitFor::Input, KillFd_, TimeoutMs, ReadWakeFd_);
  }
  ReadResting_ = false;
  posixdev::DrainWakeFd(ReadWakeFd_);
}

void TRivuPosixDispatcher::DataWanted() {
  if (ReadResting_.load() || InputHold_.HeldOff()) posixdev::SignalWakeFd(ReadWakeFd_);
}

bool TRivuPosixDispatcher::HoldOffInput() {
  return InputHold_.HoldOff(*this);
}

posixdev::TPoll TRivuPosixDispatcher::WaitForInputRoom(int Fd, int TimeoutMs) {
  const posixdev::TPoll P =
      posixdev::Wait(Fd, posixdev::TWaitFor::HangUp, KillFd_, TimeoutMs, ReadWakeFd_);
  posixdev::DrainWakeFd(ReadWakeFd_);
  return P;
}

void TRivuPosixDispatcher::InputConsumed() {
  if (InputHold_.MayResume(*this)) posixdev::SignalWakeFd(ReadWakeFd_);
}

void TRivuPosixDispatcher::WakeHeldOffInput() {
  if (InputHold_.HeldOff()) posixdev::SignalWakeFd(ReadWakeFd_);
}

posixdev::TPoll TRivuPosixDispatcher::WaitWriteWork(int Fd, int TimeoutMs) {
  const posixdev::TPoll P =
      posixdev::Wait(Fd, posixdev::TWaitFor::Output, KillFd_, TimeoutMs, WriteWakeFd_);
  if (P == posixdev::TPoll::Woken) posixdev::DrainWakeFd(WriteWakeFd_);
  return P;
}

void TRivuPosixDispatcher::SetComBreak(bool On) {
  std::lock_guard Lock(FdMutex_);
  const int Fd = ComHandleNow();
  if (Fd >= 0) posixdev::SetBreakState(Fd, On);
}

int32_t TRivuPosixDispatcher::ProcessCommunications() {
  std::this_thread::yield();
  return 0;
}

int32_t TRivuPosixDispatcher::FlushCom(int32_t Which) {
  if (Which == 0) return FlushOutput();
  int32_t Result = 0;
  std::lock_guard ReadLock(ReadMutex_);
  {
    std::lock_guard Lock(FdMutex_);
    if (ComHandleNow() >= 0) Result = posixdev::Purge(ComHandleNow(), true) ? 1 : 0;
  }
  GetQueue().Clear();
  WakeHeldOffInput();
  return Result;
}
