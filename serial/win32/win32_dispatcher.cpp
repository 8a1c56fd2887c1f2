#include "serial/win32/win32_dispatcher.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <thread>

#include "serial/dispatcher/line_report.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/port_error_numbers.h"
#include "serial/win32/thread_name.h"
#include "serial/win32/win32_threads.h"

namespace {
// How long a background thread is given to end its own calls at the close.
constexpr int kIoStopWaitMs = 3000;
}  // namespace

TRivuWin32Dispatcher::TRivuWin32Dispatcher(TDispatcherOwner* Owner, TSerialPlatform* Platform)
    : TRivuBaseDispatcher(Owner, Platform),
      Kill_(windev::MakeEvent(true)),
      Serial_(windev::MakeEvent(false)),
      Output_(windev::MakeEvent(false)),
      OutFlush_(windev::MakeEvent(false)),
      InputRoom_(windev::MakeEvent(false)) {}

TRivuWin32Dispatcher::~TRivuWin32Dispatcher() {
  Shutdown();
}

void TRivuWin32Dispatcher::SetKillThreads() {
  TRivuBaseDispatcher::SetKillThreads();
  ::SetEvent(Kill_.Get());
}

void TRivuWin32Dispatcher::NameThread(const char* Name) {
  NameThisThread(Name);
}

// --- Opening and closing ---

int32_t TRivuWin32Dispatcher::OpenCom(const std::string& Name, int32_t, int32_t) {
  int32_t Error = 0;
  windev::THandle Hold;
  const HANDLE H = windev::Open(Name, Error, Hold);
  if (H == INVALID_HANDLE_VALUE) {
    LastError_ = Error;
    return -1;
  }
  std::lock_guard Lock(DeviceMutex_);
  Device_.Reset(H);
  PortHold_.Reset(Hold.Release());
  // Kernel handles fit in 32 bits (they are shared with 32-bit processes).
  SetDeviceHandle(int(reinterpret_cast<intptr_t>(H)));
  return ComHandleNow();
}

bool TRivuWin32Dispatcher::SetupCom(int32_t InSize, int32_t OutSize) {
  std::lock_guard Lock(DeviceMutex_);
  if (!Device_.Valid()) return false;
  if (::SetupComm(Device_.Get(), DWORD(InSize), DWORD(OutSize))) return true;
  NoteError(::GetLastError());
  return false;
}

void TRivuWin32Dispatcher::StopIoThread(TRivuDispatcherThread* Thread) {
  if (WaitThreadEnd(Thread, kIoStopWaitMs)) return;
  // Each thread cancels its own call when told to end; a driver that does
  // not end a cancelled call holds the thread. Every call on the handle is
  // cancelled from here then, whoever made it.
  {
    std::lock_guard Lock(DeviceMutex_);
    if (Device_.Valid()) ::CancelIoEx(Device_.Get(), nullptr);
  }
  WaitThreadEnd(Thread, -1);
}

int32_t TRivuWin32Dispatcher::CloseCom() {
  int32_t Result = 0;
  if (!BeginClose(Result)) return Result;
  StopThreads([this](TIoThread Which, TRivuDispatcherThread* Thread) {
    switch (Which) {
      case TIoThread::Status: {
        // A mask of none completes the status thread's pending wait.
        std::lock_guard Lock(DeviceMutex_);
        if (Device_.Valid()) ::SetCommMask(Device_.Get(), 0);
        break;
      }
      case TIoThread::Write:
        ::SetEvent(OutFlush_.Get());
        break;
      case TIoThread::Read:
        ::SetEvent(Serial_.Get());
        break;
    }
    StopIoThread(Thread);
  });
  {
    std::lock_guard Lock(DeviceMutex_);
    if (Device_.Valid()) {
      const HANDLE H = Device_.Get();
      // The port keeps RTS toggling past the close: the next program to open
      // it would find RTS driven by the driver, which it never asked for.
      // Low, as it sat between sends.
      if (Toggling_) {
        DCB D{};
        D.DCBlength = sizeof D;
        if (ReadDriverState(H, D) && D.fRtsControl == RTS_CONTROL_TOGGLE) {
          D.fRtsControl = RTS_CONTROL_DISABLE;
          WriteDriverState(H, D);
        }
        Toggling_ = false;
      }
      if (::CloseHandle(H)) {
        Device_.Release();
        PortHold_.Reset();
        SetDeviceHandle(-1);
      } else {
        NoteError(::GetLastError());
        Result = -1;
      }
    }
  }
  return EndClose(Result);
}

void TRivuWin32Dispatcher::StartDispatcher() {
  LaunchThreads(
      [this] {
        // A previous run's signals must not reach the new threads.
        for (const HANDLE E :
             {Kill_.Get(), Serial_.Get(), Output_.Get(), OutFlush_.Get(), InputRoom_.Get()}) {
          ::ResetEvent(E);
        }
        EventLines_ = GetComModemLines();
      },
      std::make_unique<TReadThread>(*this), std::make_unique<TWriteThread>(*this),
      std::make_unique<TStatusThread>(*this));
}

void TRivuWin32Dispatcher::StopDispatcher() {
  // The events live as long as the dispatcher, so a late waiter never
  // touches a closed one.
  if (DispatcherActiveNow()) CloseCom();
}

// --- Device operations ---

int32_t TRivuWin32Dispatcher::EscapeComFunction(int32_t Code) {
  std::lock_guard Lock(DeviceMutex_);
  // The escape codes are the driver's own (SETRTS 3 .. CLRDTR 6).
  if (Device_.Valid()) ::EscapeCommFunction(Device_.Get(), DWORD(Code));
  return 0;
}

bool TRivuWin32Dispatcher::ReadDriverState(HANDLE Device, DCB& Out) {
  Out.DCBlength = sizeof Out;
  return ::GetCommState(Device, &Out) != 0;
}

bool TRivuWin32Dispatcher::WriteDriverState(HANDLE Device, const DCB& In) {
  DCB D = In;
  return ::SetCommState(Device, &D) != 0;
}

bool TRivuWin32Dispatcher::ClearDriverErrors(HANDLE Device, DWORD& Errors, COMSTAT& Stat) {
  return ::ClearCommError(Device, &Errors, &Stat) != 0;
}

int32_t TRivuWin32Dispatcher::GetComState(TDcb& Record) {
  std::lock_guard Lock(DeviceMutex_);
  DCB D{};
  if (!Device_.Valid() || !ReadDriverState(Device_.Get(), D)) return -1;
  windev::FromDcb(D, Record);
  return 0;
}

int32_t TRivuWin32Dispatcher::SetComState(TDcb& Record) {
  std::lock_guard Lock(DeviceMutex_);
  if (!Device_.Valid()) return -oeInvalidHandle;
  const HANDLE H = Device_.Get();
  DCB Old{};
  // Fields the record does not own keep what the driver has.
  if (!ReadDriverState(H, Old)) {
    NoteError(::GetLastError());
    return -LastError_.load();
  }
  DCB Asked = Old;
  windev::ToDcb(Record, Asked);
  // A driver may carry out part of a record before it refuses the rest, and
  // one that takes the call may keep what it cannot do without a word: only
  // a read-back tells. Either way the old state goes back.
  if (!WriteDriverState(H, Asked)) {
    NoteError(::GetLastError());
    WriteDriverState(H, Old);
    return -LastError_.load();
  }
  DCB Got{};
  DWORD Lines = 0;
  const bool Unframed = !::GetCommModemStatus(H, &Lines);
  if (!ReadDriverState(H, Got) || !windev::StateHeld(Asked, Got, Unframed)) {
    WriteDriverState(H, Old);
    LastError_ = oeInvalidParameter;
    return -oeInvalidParameter;
  }
  Toggling_ = Asked.fRtsControl == RTS_CONTROL_TOGGLE;
  InputHold_.SetLimits(InputLimits(Record, ReceiveQueueSize()));
  WakeHeldOffInput();
  return 0;
}

bool TRivuWin32Dispatcher::TakeDriverErrors(COMSTAT& Stat) {
  DWORD Errors = 0;
  Stat = COMSTAT{};
  bool Ok = false;
  {
    std::lock_guard Lock(DeviceMutex_);
    Ok = Device_.Valid() && ClearDriverErrors(Device_.Get(), Errors, Stat);
  }
  if (Ok) PendingErrors_.fetch_or(Errors & 0x1F);
  return Ok;
}

uint32_t TRivuWin32Dispatcher::GetComError(TComStat& Stat) {
  COMSTAT Driver;
  TakeDriverErrors(Driver);
  Stat.InQue = uint32_t(GetQueue().FirstDataAvailable());
  Stat.OutQue = uint32_t(OutBufUsed());
  return PendingErrors_.exchange(0);
}

std::optional<DWORD> TRivuWin32Dispatcher::DeviceInputQueued() {
  COMSTAT Driver;
  if (!TakeDriverErrors(Driver)) return std::nullopt;
  return Driver.cbInQue;
}

uint8_t TRivuWin32Dispatcher::GetComModemLines() {
  std::lock_guard Lock(DeviceMutex_);
  DWORD Lines = 0;
  // CTS 0x10, DSR 0x20, RING 0x40, RLSD 0x80: the status byte's own bits.
  if (!Device_.Valid() || !::GetCommModemStatus(Device_.Get(), &Lines)) return 0;
  return uint8_t(Lines & 0xF0);
}

uint32_t TRivuWin32Dispatcher::DeviceOutputQueued() {
  COMSTAT Driver;
  TakeDriverErrors(Driver);  // the errors wait for GetComError
  return Driver.cbOutQue;
}

void TRivuWin32Dispatcher::SetComBreak(bool On) {
  std::lock_guard Lock(DeviceMutex_);
  if (!Device_.Valid()) return;
  if (On) {
    ::SetCommBreak(Device_.Get());
  } else {
    ::ClearCommBreak(Device_.Get());
  }
}

int32_t TRivuWin32Dispatcher::ProcessCommunications() {
  std::this_thread::yield();
  return 0;
}

bool TRivuWin32Dispatcher::PurgeDriverOutput() {
  // The handle is closed only once the write thread has ended.
  return ::PurgeComm(Device_.Get(), PURGE_TXABORT | PURGE_TXCLEAR) != 0;
}

void TRivuWin32Dispatcher::WakeWriter(bool ForFlush) {
  // A flush also ends the wait of a write in progress, which then aborts.
  ::SetEvent(ForFlush ? OutFlush_.Get() : Output_.Get());
}

int32_t TRivuWin32Dispatcher::FlushCom(int32_t Which) {
  if (Which == 0) {
    // The write thread aborts a write in progress and purges: only it knows
    // when no byte of a flushed block can reach the driver any more.
    return FlushOutput();
  }
  int32_t Result = 0;
  std::lock_guard ReadLock(ReadMutex_);
  {
    std::lock_guard Lock(DeviceMutex_);
    if (Device_.Valid()) {
      Result = ::PurgeComm(Device_.Get(), PURGE_RXABORT | PURGE_RXCLEAR) ? 1 : 0;
    }
  }
  GetQueue().Clear();
  WakeHeldOffInput();
  return Result;
}

void TRivuWin32Dispatcher::DataWanted() {
  if (InputHold_.HeldOff()) ::SetEvent(InputRoom_.Get());
}

void TRivuWin32Dispatcher::InputConsumed() {
  if (InputHold_.MayResume(*this)) ::SetEvent(InputRoom_.Get());
}

void TRivuWin32Dispatcher::WakeHeldOffInput() {
  if (InputHold_.HeldOff()) ::SetEvent(InputRoom_.Get());
}

bool TRivuWin32Dispatcher::ReportDeviceEvents(DWORD Events) {
  uint32_t Report = Events & evStatusEvents;
  // The driver's event for a line says it changed since the last wait.
  uint8_t Moved = 0;
  if (Events & evCts) Moved |= 0x10;
  if (Events & evDsr) Moved |= 0x20;
  if (Events & (evRing | evRing2)) Moved |= 0x40;
  if (Events & evRlsd) Moved |= 0x80;
  if (Moved) {
    const uint8_t Lines = GetComModemLines();
    const TLineReport R = LineReport(Moved, EventLines_.exchange(Lines), Lines);
    Report = (Report & ~uint32_t(evCts | evDsr | evRlsd | evRing | evRing2)) | R.Events;
    // Before the report, so that the reading it brings carries them.
    if (R.Pulses) AddLinePulses(R.Pulses);
  }
  if (Report == 0) return true;
  try {
    GetQueue().Push(std::make_unique<TStatusBuffer>(Report));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}
