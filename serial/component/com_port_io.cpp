// Block input and output, status reads, triggers and recorders of the com
// port component: each finds the dispatcher and forwards to it.
#include <algorithm>

#include "serial/component/com_port.h"
#include "serial/errors/check_exception.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/exceptions.h"

std::shared_ptr<TRivuBaseDispatcher> TRivuCustomComPort::Valid() {
  if (!OwnerThread()) {
    // Another thread never opens the port, and a port being closed under it
    // is gone for it.
    if (PortState() == psOpen) {
      if (auto d = Current()) return d;
    }
    Check(ecCommNotOpen);
    return nullptr;
  }
  if (auto d = Current()) return d;
  if (!Designing() && !Loading() && PortState() != psOpen && autoOpen_) SetOpen(true);
  if (auto d = Current()) return d;
  Check(ecCommNotOpen);
  return nullptr;
}

std::shared_ptr<TRivuBaseDispatcher> TRivuCustomComPort::Dispatcher() {
  if (auto d = Current()) return d;
  // The automatic open of the valid-dispatcher rule, but never its
  // exception: the current dispatcher, or none.
  if (OwnerThread() && !Designing() && !Loading() && PortState() != psOpen && autoOpen_) {
    SetOpen(true);
  }
  return Current();
}

bool TRivuCustomComPort::CharReady() {
  if (OwnerClosingPort()) return false;
  const auto d = Valid();
  return d && d->CharReady();
}

uint8_t TRivuCustomComPort::PeekChar(uint16_t Count) {
  if (OwnerClosingPort()) return 0;
  uint8_t value = 0;
  if (const auto d = Valid()) Check(d->PeekChar(value, Count));
  return value;
}

uint8_t TRivuCustomComPort::GetChar() {
  if (OwnerClosingPort()) return 0;
  uint8_t value = 0;
  if (const auto d = Valid()) Check(d->GetChar(value));
  return value;
}

uint16_t TRivuCustomComPort::PeekBlock(void* Block, uint16_t Len) {
  if (OwnerClosingPort()) return 0;
  const auto d = Valid();
  if (!d) return 0;
  Check(d->PeekBlock(Block, Len));
  return Len;
}

uint16_t TRivuCustomComPort::GetBlock(void* Block, uint16_t Len) {
  if (OwnerClosingPort()) return 0;
  const auto d = Valid();
  if (!d) return 0;
  Check(d->GetBlock(Block, Len));
  return Len;
}

void TRivuCustomComPort::PutChar(uint8_t C) {
  PutBlock(&C, 1);
}

void TRivuCustomComPort::PutString(const std::string& S) {
  // All of it, or the exception a block too large for the buffer raises:
  // never a silent cut at the block length's limit.
  if (OwnerClosingPort()) return;
  const auto d = Valid();
  if (!d) return;
  Check(S.size() > UINT32_MAX ? ecOutputBufferTooSmall
                              : d->PutBlock(S.data(), static_cast<uint32_t>(S.size())));
}

int32_t TRivuCustomComPort::PutBlock(const void* Block, uint16_t Len) {
  if (OwnerClosingPort()) return 0;
  if (const auto d = Valid()) Check(d->PutBlock(Block, Len));
  return 0;
}

void TRivuCustomComPort::FlushInBuffer() {
  if (OwnerClosingPort()) return;
  if (const auto d = Valid()) Check(d->FlushInBuffer());
}

void TRivuCustomComPort::FlushOutBuffer() {
  if (OwnerClosingPort()) return;
  if (const auto d = Valid()) Check(d->FlushOutBuffer());
}

int32_t TRivuCustomComPort::ProcessCommunications() {
  if (OwnerClosingPort()) return 0;
  const auto d = Valid();
  return d ? Check(d->ProcessCommunications()) : 0;
}

bool TRivuCustomComPort::PortLost() const {
  const auto d = Current();
  return !d || PortState() != psOpen || d->GetKillThreads();
}

TDataWait TRivuCustomComPort::WaitForData(uint32_t Count,
                                          std::chrono::steady_clock::time_point Deadline,
                                          std::stop_token Stop) {
  using namespace std::chrono;
  const auto d = Current();
  if (!d || PortState() != psOpen) return TDataWait::Closed;
  for (;;) {
    // Waits are sliced so that a far deadline cannot overflow the clock.
    const auto left = duration_cast<milliseconds>(Deadline - steady_clock::now());
    const auto slice = std::clamp(left, milliseconds(0), milliseconds(hours(1)));
    const TDataWait result = d->WaitForData(Count, slice, Stop);
    if (result != TDataWait::TimedOut || slice == left) return result;
    if (PortState() != psOpen) return TDataWait::Closed;
  }
}

bool TRivuCustomComPort::WaitOutputDrained(std::chrono::milliseconds Timeout) {
  const auto d = Current();
  return !d || PortState() != psOpen || d->WaitOutputDrained(Timeout);
}

uint8_t TRivuCustomComPort::ModemStatus() {
  if (ShuttingDown()) return 0;
  const auto d = Valid();
  return d ? d->GetModemStatus() : 0;
}

namespace {
constexpr uint8_t kDeltaCts = 0x01, kDeltaDsr = 0x02, kTrailingRi = 0x04, kDeltaDcd = 0x08,
                  kCts = 0x10, kDsr = 0x20, kRi = 0x40, kDcd = 0x80;
}  // namespace

// Reading one bit of the modem status clears that bit alone.
bool TRivuCustomComPort::ModemBit(uint8_t Bit) {
  const auto d = PortState() == psOpen ? Current() : nullptr;
  return d && (d->GetModemStatusPrim(uint8_t(~Bit)) & Bit) != 0;
}
bool TRivuCustomComPort::DSR() {
  return ModemBit(kDsr);
}
bool TRivuCustomComPort::CTS() {
  return ModemBit(kCts);
}
bool TRivuCustomComPort::RI() {
  return ModemBit(kRi);
}
bool TRivuCustomComPort::DCD() {
  return ModemBit(kDcd);
}
bool TRivuCustomComPort::DeltaDSR() {
  return ModemBit(kDeltaDsr);
}
bool TRivuCustomComPort::DeltaCTS() {
  return ModemBit(kDeltaCts);
}
bool TRivuCustomComPort::DeltaRI() {
  return ModemBit(kTrailingRi);
}
bool TRivuCustomComPort::DeltaDCD() {
  return ModemBit(kDeltaDcd);
}

uint16_t TRivuCustomComPort::LineError() {
  const auto d = PortState() == psOpen ? Current() : nullptr;
  return d ? static_cast<uint16_t>(Check(d->GetLineError())) : 0;
}

bool TRivuCustomComPort::LineBreak() {
  const auto d = PortState() == psOpen ? Current() : nullptr;
  return d && d->CheckLineBreak();
}

TFlowControlState TRivuCustomComPort::FlowState() {
  if (ShuttingDown()) return fcOff;
  const auto d = Valid();
  if (!d) return fcOff;
  const int32_t h = Check(d->HWFlowState()) - 1;
  if (h != 0) return static_cast<TFlowControlState>(h);
  return static_cast<TFlowControlState>(Check(d->SWFlowState()) - 1);
}

uint32_t TRivuCustomComPort::InBuffUsed() {
  const auto d = PortState() == psOpen ? Current() : nullptr;
  return d ? uint32_t(d->InBuffUsed()) : 0;
}

uint32_t TRivuCustomComPort::InBuffFree() {
  const auto d = PortState() == psOpen ? Current() : nullptr;
  return d ? uint32_t(d->InBuffFree()) : kDispatchBufferSize;
}

uint32_t TRivuCustomComPort::OutBuffUsed() {
  const auto d = PortState() == psOpen ? Current() : nullptr;
  return d ? uint32_t(d->OutBuffUsed()) : 0;
}

uint32_t TRivuCustomComPort::OutBuffFree() {
  const auto d = PortState() == psOpen ? Current() : nullptr;
  return d ? uint32_t(d->OutBuffFree()) : outSize_;
}

void TRivuCustomComPort::SendBreak(uint32_t Ticks, bool Yield) {
  if (ShuttingDown()) return;
  if (const auto d = Valid()) d->SendBreak(Ticks, Yield);
}

void TRivuCustomComPort::SetBreak(bool On) {
  if (ShuttingDown()) return;
  if (const auto d = Valid()) d->SetBreak(On);
}

uint16_t TRivuCustomComPort::AddDataTrigger(const std::string& Data, bool IgnoreCase) {
  const auto d = Valid();
  return d ? uint16_t(Check(d->AddDataTrigger(Data, IgnoreCase))) : 0;
}

uint16_t TRivuCustomComPort::AddTimerTrigger() {
  const auto d = Valid();
  return d ? uint16_t(Check(d->AddTimerTrigger())) : 0;
}

uint16_t TRivuCustomComPort::AddStatusTrigger(uint16_t SType) {
  const auto d = Valid();
  return d ? uint16_t(Check(d->AddStatusTrigger(SType))) : 0;
}

void TRivuCustomComPort::RemoveTrigger(uint16_t Handle) {
  if (const auto d = Valid()) Check(d->RemoveTrigger(Handle));
}

void TRivuCustomComPort::RemoveAllTriggers() {
  if (const auto d = Valid()) d->RemoveAllTriggers();
}

void TRivuCustomComPort::SetTimerTrigger(uint16_t Handle, int32_t Ticks, bool Activate) {
  if (const auto d = Valid()) Check(d->SetTimerTrigger(Handle, Ticks, Activate));
}

void TRivuCustomComPort::SetStatusTrigger(uint16_t Handle, uint32_t Value, bool Activate) {
  if (const auto d = Valid()) Check(d->SetStatusTrigger(Handle, Value, Activate));
}
