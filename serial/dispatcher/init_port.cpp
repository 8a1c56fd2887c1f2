// Opening a dispatcher: device, buffers, line settings, threads.
#include <chrono>
#include <cstring>
#include <new>

#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

int32_t TRivuBaseDispatcher::InitPort(const std::string& CompName, uint32_t Baud, uint16_t Parity,
                                      uint16_t DataBits, uint16_t StopBits, uint32_t InSize,
                                      uint32_t OutSize, uint32_t Options) {
  RingSeen = false;
  LinePulses = 0;
  Notifying = false;
  HandlerListDirty = false;
  GeneralEvent.Reset();

  auto Fail = [this](int32_t Code) {
    DonePort();
    return Code;
  };

  const int32_t Handle = OpenCom(CompName, int32_t(InSize), int32_t(OutSize));
  if (Handle < 0) return Fail(Handle == ecOutOfMemory ? ecOutOfMemory : -LastDeviceError());
  if (!SetupCom(int32_t(InSize), int32_t(OutSize))) return Fail(-LastDeviceError());

  try {
    std::lock_guard InGuard(InLock);
    DispBuf.reset(new uint8_t[DispatchBufferSize]);
    std::memset(DispBuf.get(), 0, DispatchBufferSize);
    std::lock_guard OutGuard(OutLock);
    OutBuf.reset(new uint8_t[OutSize ? OutSize : 1]);
    std::memset(OutBuf.get(), 0, OutSize ? OutSize : 1);
  } catch (const std::bad_alloc&) {
    return Fail(ecOutOfMemory);
  }
  {
    std::lock_guard InGuard(InLock);
    std::lock_guard DGuard(DispLock);
    std::lock_guard OutGuard(OutLock);
    OutHead = OutTail = 0;
    OutFull = false;
    InQueueSize = InSize;
    OutBufSize = OutSize;
    LineErrors = 0;
    OutSentPending = false;
    DonePending = false;
    DispFull = false;
    View.Reset();
    Wakes.RoomMade();
    RS485Mode = false;
    BaseAddress = 0;
    GetComState(Dcb);
  }

  if (Options & 0x10) {
    DtrByFlow = true;
  } else {
    DtrByFlow = false;
    SetDtr(Options & 0x01);
  }
  if (Options & 0x20) {
    RtsByFlow = true;
  } else {
    RtsByFlow = false;
    SetRts(Options & 0x02);
  }

  {
    std::lock_guard InGuard(InLock);
    ScanPos = 0;
    RemoveAllTriggers();
    DispHead = DispTail = 0;
    LastNotifyPos = 0;
    ClearStatusHits();
    View.Reset();
  }
  {
    std::lock_guard DGuard(DispLock);
    ModemStatus = 0;
  }
  GetModemStatusPrim(0xF0);
  {
    std::lock_guard DGuard(DispLock);
    CurBaud = 115200;
  }

  if (const int32_t R = SetLine(Baud, Parity, DataBits, StopBits); R != 0) return Fail(R);

  RefreshStatus();
  // No trace and no log at open; log times count from here.
  TraceRec.AbortTracing();
  DLog.AbortDispatchLogging();
  DLog.ResetTimeBase();
  try {
    StartDispatcher();
  } catch (...) {
    // A thread the system would not give (the thread limit, no memory): the
    // close ends the threads already going and waits for them (stopped
    // before it, they would close the port themselves, and this close would
    // find it closing and not wait), so the open fails with nothing running
    // and nothing for a later close to wait for.
    DonePort();
    DispatcherActive = false;
    throw;
  }
  return 0;
}

int32_t TRivuBaseDispatcher::SetCommBuffers(uint32_t InSize, uint32_t OutSize) {
  std::lock_guard Lock(DispLock);
  // A driver that refuses keeps its queue, and the limits stay bounded by it.
  if (!SetupCom(int32_t(InSize), int32_t(OutSize))) return -LastDeviceError();
  InQueueSize = InSize;
  return 0;
}
