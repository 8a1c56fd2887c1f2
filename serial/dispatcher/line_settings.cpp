// Line settings, flow control and the modem outputs.
#include <algorithm>
#include <chrono>
#include <thread>

#include "serial/dispatcher/dispatcher.h"
#include "serial/errors/error_codes.h"

namespace {

// The flags every SetLine forces: raw transfer, no parity checking, no DSR
// sensitivity, sending goes on after XOFF, no null stripping.
void FixFlags(TDcb& D) {
  D.fBinary = true;
  D.fParity = false;
  D.fDsrSensitivity = false;
  D.fTXContinueOnXoff = true;
  D.fNull = false;
}

struct TLineValues {
  uint32_t Baud;
  uint8_t Parity, ByteSize, StopCode;
};

void Apply(TDcb& D, const TLineValues& V) {
  FixFlags(D);
  D.BaudRate = V.Baud;
  D.Parity = V.Parity;
  D.ByteSize = V.ByteSize;
  D.StopBits = V.StopCode;
}

constexpr uint32_t kSymbolicRates[] = {110,   300, 600, 1200,   2400, 4800, 9600, 14400,
                                       19200, 0,   0,   38400,  0,    0,    0,    56000,
                                       0,     0,   0,   128000, 0,    0,    0,    256000};

}  // namespace

int32_t TRivuBaseDispatcher::SetLine(uint32_t Baud, uint16_t Parity, uint16_t DataBits,
                                     uint16_t StopBits) {
  std::unique_lock Lock(DispLock);
  GetComState(Dcb);
  auto Values = [&](const TDcb& Cur) {
    TLineValues V;
    V.Baud = Baud == 0 ? Cur.BaudRate : Baud;
    V.Parity = Parity == 5 ? Cur.Parity : uint8_t(Parity);
    V.ByteSize = DataBits == 9 ? Cur.ByteSize : uint8_t(DataBits);
    if (StopBits == 3) {
      V.StopCode = Cur.StopBits;
    } else {
      V.StopCode = StopBits >= 2 ? 2 : 0;
    }
    if (V.ByteSize == 5) V.StopCode = 1;
    return V;
  };
  TDcb Wanted = Dcb;
  Apply(Wanted, Values(Dcb));
  if (Wanted == Dcb) return 0;

  // Let what is queued go out at the old settings first.
  Lock.unlock();
  WaitTxSent();
  Lock.lock();
  GetComState(Dcb);
  Apply(Dcb, Values(Dcb));
  return SetCommStateFix(Dcb);
}

void TRivuBaseDispatcher::GetLine(uint32_t& Baud, uint16_t& Parity, uint16_t& DataBits,
                                  uint16_t& StopBits) {
  std::lock_guard Lock(DispLock);
  GetComState(Dcb);
  Baud = Dcb.BaudRate;
  if (Baud == 0xFEFF) {
    Baud = 115200;
  } else if (Baud >= 0xFF10 && Baud < 0xFF10 + std::size(kSymbolicRates) &&
             kSymbolicRates[Baud - 0xFF10] != 0) {
    Baud = kSymbolicRates[Baud - 0xFF10];
  }
  Parity = Dcb.Parity;
  DataBits = Dcb.ByteSize;
  StopBits = Dcb.StopBits == 0 ? 1 : 2;
}

int32_t TRivuBaseDispatcher::SetCommStateFix(TDcb& Record) {
  std::lock_guard Lock(DispLock);
  if (!DtrByFlow) Record.fDtrControl = DtrOn ? dcDtrEnable : dcDtrDisable;
  if (!RtsByFlow) Record.fRtsControl = RtsOn ? dcRtsEnable : dcRtsDisable;
  const int32_t R = SetComState(Record);
  // A refused record changed nothing on the device; the copy follows it.
  if (R != 0) GetComState(Record);
  CurBaud = Record.BaudRate;
  SetDtr(DtrOn);
  if (!RS485Mode) SetRts(RtsOn);
  return R;
}

void TRivuBaseDispatcher::WaitTxSent() {
  using namespace std::chrono;
  // The write thread wakes this wait each time it finishes a block.
  const auto Deadline = steady_clock::now() + 10s;
  for (;;) {
    uint64_t Gen;
    {
      std::lock_guard Lock(WaitMutex);
      Gen = WaitGeneration;
    }
    if (OutputPending() == 0 || KillThreads || !DispatcherActive) break;
    const auto Now = steady_clock::now();
    if (Now >= Deadline) break;
    std::unique_lock Lock(WaitMutex);
    WaitCv.wait_until(Lock, std::min(Deadline, Now + 100ms), [&] { return WaitGeneration != Gen; });
  }
  uint32_t Bits, Rate;
  {
    std::lock_guard Lock(DispLock);
    GetComState(Dcb);
    Bits = Dcb.ByteSize + 2u + (Dcb.Parity != 0 ? 1u : 0u) + (Dcb.StopBits != 0 ? 1u : 0u);
    Rate = CurBaud;
  }
  if (Rate == 0) return;
  // The driver may still hold up to 18 characters; give them time to leave.
  uint64_t T = uint64_t(10000000 / Rate) * Bits * 18;  // units of 0.1 us
  if (T < 10000) T *= 2;
  std::this_thread::sleep_for(milliseconds((T + 9999) / 10000));
}

bool TRivuBaseDispatcher::WaitOutputDrained(std::chrono::milliseconds Timeout) {
  using namespace std::chrono;
  const auto Deadline = steady_clock::now() + Timeout;
  // The write thread wakes this wait each time it finishes a block.
  for (;;) {
    uint64_t Gen;
    {
      std::lock_guard Lock(WaitMutex);
      Gen = WaitGeneration;
    }
    if (OutputPending() == 0) break;
    if (KillThreads || !DispatcherActive || steady_clock::now() >= Deadline) return false;
    std::unique_lock Lock(WaitMutex);
    WaitCv.wait_until(Lock, Deadline, [&] { return WaitGeneration != Gen; });
  }
  // The driver gives no signal when its queue empties: look again each
  // millisecond, for at most the time left.
  while (DeviceOutputQueued() != 0) {
    if (steady_clock::now() >= Deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

int32_t TRivuBaseDispatcher::HWFlowState() {
  std::lock_guard Lock(DispLock);
  const bool On = Dcb.fOutxCtsFlow || Dcb.fOutxDsrFlow || Dcb.fDtrControl == dcDtrHandshake ||
                  Dcb.fRtsControl == dcRtsHandshake;
  return On ? 2 : 1;
}

int32_t TRivuBaseDispatcher::SWFlowState() {
  std::lock_guard Lock(DispLock);
  return Dcb.fOutX || Dcb.fInX ? 2 : 1;
}

int32_t TRivuBaseDispatcher::HWFlowOptions(uint32_t BufferFull, uint32_t BufferResume,
                                           uint32_t Options) {
  if (BufferFull < BufferResume || BufferFull > InQueueSize) return ecBadArgument;
  std::lock_guard Lock(DispLock);
  GetComState(Dcb);
  const bool DtrByFlowBefore = DtrByFlow, RtsByFlowBefore = RtsByFlow;
  Dcb.fOutxCtsFlow = Dcb.fOutxDsrFlow = false;
  Dcb.fDtrControl = dcDtrDisable;
  Dcb.fRtsControl = dcRtsDisable;
  DtrByFlow = RtsByFlow = false;
  if (Options & 0x01) {
    Dcb.fDtrControl = dcDtrHandshake;
    DtrByFlow = true;
  } else if (DtrOn) {
    Dcb.fDtrControl = dcDtrEnable;
  }
  if (Options & 0x02) {
    Dcb.fRtsControl = dcRtsHandshake;
    RtsByFlow = true;
  } else if (RS485Mode) {
    Dcb.fRtsControl = dcRtsToggle;
    RtsByFlow = true;
  } else if (RtsOn) {
    Dcb.fRtsControl = dcRtsEnable;
  }
  Dcb.XoffLim = uint16_t(InQueueSize - BufferFull);
  Dcb.XonLim = uint16_t(BufferResume);
  if (Options & 0x04) Dcb.fOutxDsrFlow = true;
  if (Options & 0x08) Dcb.fOutxCtsFlow = true;
  const int32_t R = SetCommStateFix(Dcb);
  if (R != 0) {
    // Refused: the lines stay the caller's as before.
    DtrByFlow = DtrByFlowBefore;
    RtsByFlow = RtsByFlowBefore;
  }
  return R;
}

int32_t TRivuBaseDispatcher::SWFlowEnable(uint32_t BufferFull, uint32_t BufferResume,
                                          uint32_t Options) {
  if (BufferFull < BufferResume || BufferFull > InQueueSize) return ecBadArgument;
  std::lock_guard Lock(DispLock);
  GetComState(Dcb);
  if (Options & 0x02) {
    Dcb.fInX = true;
    Dcb.XoffLim = uint16_t(InQueueSize - BufferFull);
    Dcb.XonLim = uint16_t(BufferResume);
  }
  if (Options & 0x01) Dcb.fOutX = true;
  if (Options & 0x03) {
    Dcb.XonChar = 17;
    Dcb.XoffChar = 19;
  }
  return SetCommStateFix(Dcb);
}

int32_t TRivuBaseDispatcher::SWFlowDisable() {
  std::lock_guard Lock(DispLock);
  GetComState(Dcb);
  Dcb.fInX = Dcb.fOutX = false;
  return SetCommStateFix(Dcb);
}

int32_t TRivuBaseDispatcher::SWFlowChars(uint8_t XOn, uint8_t XOff) {
  std::lock_guard Lock(DispLock);
  GetComState(Dcb);
  Dcb.XonChar = XOn;
  Dcb.XoffChar = XOff;
  return SetCommStateFix(Dcb);
}

int32_t TRivuBaseDispatcher::SetDtr(bool On) {
  std::lock_guard Lock(DispLock);
  if (DtrByFlow) return 1;
  const int32_t R = EscapeComFunction(On ? efSetDtr : efClrDtr);
  DtrOn = On;
  return R < 0 ? ecBadArgument : R;
}

int32_t TRivuBaseDispatcher::SetRts(bool On) {
  std::lock_guard Lock(DispLock);
  if (RtsByFlow) return 1;
  const int32_t R = EscapeComFunction(On ? efSetRts : efClrRts);
  RtsOn = On;
  return R < 0 ? ecBadArgument : R;
}

int32_t TRivuBaseDispatcher::SetModem(bool Dtr, bool Rts) {
  const int32_t R = SetDtr(Dtr);
  return R != 0 ? R : SetRts(Rts);
}

void TRivuBaseDispatcher::SendBreak(uint32_t Ticks, bool Yield) {
  // RS-485: the break is a send too, so the transmitter is switched on for
  // it; RTS falls after it unless output still waits, which the driver then
  // ends itself.
  const bool Rs485 = [this] {
    std::lock_guard Lock(DispLock);
    return RS485Mode;
  }();
  if (Rs485) EscapeComFunction(efSetRts);
  SetComBreak(true);
  const int Ms = int(Ticks * 55);
  if (Yield) {
    WaitProcessingEvents([] { return false; }, Ms);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
  }
  SetComBreak(false);
  if (Rs485 && OutBuffUsed() == 0) EscapeComFunction(efClrRts);
}

void TRivuBaseDispatcher::SetBreak(bool On) {
  const bool Rs485 = [this] {
    std::lock_guard Lock(DispLock);
    return RS485Mode;
  }();
  if (Rs485 && On) EscapeComFunction(efSetRts);
  SetComBreak(On);
  if (Rs485 && !On && OutBuffUsed() == 0) EscapeComFunction(efClrRts);
}
