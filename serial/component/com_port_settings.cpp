// Property setters of the com port component. A setter whose value equals
// the stored one does nothing, unless the re-apply pass after an open asks
// for the settings to be sent again.
#include "serial/component/com_port.h"
#include "serial/component/first_failure.h"
#include "serial/errors/check_exception.h"
#include "serial/errors/error_codes.h"

namespace {

// The dispatcher option bit that mirrors UseEventWord.
constexpr uint32_t kUseEventWordOption = 4;

uint16_t Scaled(uint32_t value, double factor) {
  return static_cast<uint16_t>(value * factor);
}

}  // namespace

void TRivuCustomComPort::SetDeviceLayer(TDeviceLayer Value) {
  if (PortState() != psClosed || !(allowedLayers_ & DeviceLayerBit(Value)) ||
      Value == deviceLayer_) {
    return;
  }
  deviceLayer_ = Value;
  DeviceLayerChanged();
}

void TRivuCustomComPort::SetComNumber(uint16_t Value) {
  if (Value == comNumber_) return;
  if (PortState() != psOpen) {
    comNumber_ = Value;
    return;
  }
  // Reopen on the new number with the same recorders and triggers; DonePort
  // saves the triggers and InitPort restores them. The close always ends, so
  // what it raised (a trace that could not be written) waits until the port
  // is open on the new number.
  const TTraceLogState tracing = Tracing(), logging = Logging();
  TFirstFailure failures;
  failures.Run([this] { DonePort(); });
  comNumber_ = Value;
  SetTracing(tracing);
  SetLogging(logging);
  failures.Run([this] { SetOpen(true); });
  failures.Rethrow();
}

void TRivuCustomComPort::SetBaud(int32_t Value) {
  if (Value == baud_) return;
  baud_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) {
    Check(d->SetLine(uint32_t(baud_), parity_, dataBits_, stopBits_));
  }
}

void TRivuCustomComPort::SetParity(TParity Value) {
  if (Value == parity_) return;
  parity_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) {
    Check(d->SetLine(uint32_t(baud_), parity_, dataBits_, stopBits_));
  }
}

void TRivuCustomComPort::SetDataBits(uint16_t Value) {
  if (Value == dataBits_) return;
  dataBits_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) {
    Check(d->SetLine(uint32_t(baud_), parity_, dataBits_, stopBits_));
  }
}

void TRivuCustomComPort::SetStopBits(uint16_t Value) {
  if (Value == stopBits_) return;
  stopBits_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) {
    Check(d->SetLine(uint32_t(baud_), parity_, dataBits_, stopBits_));
  }
}

// While open the device is asked for the new queue sizes; the receive size
// then bounds the flow thresholds there as here. A driver that refuses keeps
// its sizes, which is no error of the caller's.
void TRivuCustomComPort::SetInSize(uint16_t Value) {
  inSize_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) d->SetCommBuffers(inSize_, outSize_);
}
void TRivuCustomComPort::SetOutSize(uint16_t Value) {
  outSize_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) d->SetCommBuffers(inSize_, outSize_);
}

void TRivuCustomComPort::SetDTR(bool Value) {
  if (Value == dtr_ && !reapply_) return;
  if (auto d = Current(); d && PortState() == psOpen) {
    if (Check(d->SetDtr(Value)) != 0) return;
  }
  dtr_ = Value;
}

void TRivuCustomComPort::SetRTS(bool Value) {
  if (Value == rts_ && !reapply_) return;
  if (auto d = Current(); d && PortState() == psOpen) {
    if (Check(d->SetRts(Value)) != 0) return;
  }
  rts_ = Value;
}

void TRivuCustomComPort::ApplyFlowThresholds(double FullFactor, double ResumeFactor) {
  if (bufferFull_ == 0 || bufferFull_ > inSize_) bufferFull_ = Scaled(inSize_, FullFactor);
  if (bufferResume_ == 0 || bufferResume_ > bufferFull_) {
    bufferResume_ = Scaled(inSize_, ResumeFactor);
  }
}

void TRivuCustomComPort::SetHWFlowOptions(THWFlowOptionSet Value) {
  if (Value == hwFlowOptions_ && !reapply_) return;
  if (Value != 0) ApplyFlowThresholds(0.9, 0.1);
  if (auto d = Current(); d && PortState() == psOpen) {
    Check(d->HWFlowOptions(bufferFull_, bufferResume_, Value));
  }
  hwFlowOptions_ = Value;
  // Through the setter, so an open dispatcher leaves RS-485 mode too.
  if (Value & (HWFlowBit(hwfUseRTS) | HWFlowBit(hwfRequireCTS))) SetRS485Mode(false);
}

void TRivuCustomComPort::SetSWFlowOptions(TSWFlowOptions Value) {
  if (Value == swFlowOptions_ && !reapply_) return;
  static constexpr uint32_t kCodes[] = {0, 2, 1, 3};  // swfNone, swfReceive, swfTransmit, swfBoth
  const uint32_t code = kCodes[Value];
  if (code != 0) ApplyFlowThresholds(0.75, 0.25);
  if (auto d = Current(); d && PortState() == psOpen) {
    // The dispatcher leaves a direction it is not given as it was, and puts
    // the standard characters back: the device gets this setting alone, with
    // the characters the port was given.
    if (code != 3) Check(d->SWFlowDisable());
    if (code != 0) {
      Check(d->SWFlowEnable(bufferFull_, bufferResume_, code));
      Check(d->SWFlowChars(uint8_t(xOnChar_), uint8_t(xOffChar_)));
    }
  }
  swFlowOptions_ = Value;
}

void TRivuCustomComPort::SetXOnChar(char Value) {
  if (Value == xOnChar_ && !reapply_) return;
  xOnChar_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) {
    Check(d->SWFlowChars(uint8_t(xOnChar_), uint8_t(xOffChar_)));
  }
}

void TRivuCustomComPort::SetXOffChar(char Value) {
  if (Value == xOffChar_ && !reapply_) return;
  xOffChar_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) {
    Check(d->SWFlowChars(uint8_t(xOnChar_), uint8_t(xOffChar_)));
  }
}

void TRivuCustomComPort::SetBufferFull(uint16_t Value) {
  if (Value == bufferFull_ && !reapply_) return;
  // A limit beyond the receive queue could never be reached.
  bufferFull_ = Value <= inSize_ ? Value : Scaled(inSize_, 0.9);
  Reapply([this] {
    SetHWFlowOptions(hwFlowOptions_);
    SetSWFlowOptions(swFlowOptions_);
  });
}

void TRivuCustomComPort::SetBufferResume(uint16_t Value) {
  if (Value == bufferResume_ && !reapply_) return;
  bufferResume_ = Value <= bufferFull_ ? Value : Scaled(bufferFull_, 0.1);
  Reapply([this] {
    SetHWFlowOptions(hwFlowOptions_);
    SetSWFlowOptions(swFlowOptions_);
  });
}

void TRivuCustomComPort::SetUseEventWord(bool Value) {
  if (Value == useEventWord_ && !reapply_) return;
  useEventWord_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) {
    Value ? d->OptionsOn(kUseEventWordOption) : d->OptionsOff(kUseEventWordOption);
  }
}

void TRivuCustomComPort::SetRS485Mode(bool Value) {
  if (Value == rs485Mode_ && !reapply_) return;
  // A driver without RS-485 refuses it; the mode is then not kept.
  if (auto d = Current(); d && PortState() == psOpen) Check(d->SetRS485Mode(Value));
  rs485Mode_ = Value;
  if (Value) {
    // RS-485 drives RTS itself: no RTS flow control, RTS low between sends.
    SetHWFlowOptions(hwFlowOptions_ & ~(HWFlowBit(hwfUseRTS) | HWFlowBit(hwfRequireCTS)));
    SetRTS(false);
  }
}

void TRivuCustomComPort::SetTriggerLength(uint16_t Value) {
  if (Value == triggerLength_ && !reapply_) return;
  triggerLength_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) d->ChangeLengthTrigger(Value);
}

void TRivuCustomComPort::SetThreadBoost(TRivuThreadBoost Value) {
  if (Value == threadBoost_ && !reapply_) return;
  threadBoost_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) d->SetThreadBoost(Value);
}

uint16_t TRivuCustomComPort::BaseAddress() {
  if (auto d = Current(); d && PortState() == psOpen) return d->GetBaseAddress();
  return 0;
}

void TRivuCustomComPort::SetBaseAddress(uint16_t Value) {
  if (Value == baseAddress_ && !reapply_) return;
  baseAddress_ = Value;
  if (auto d = Current(); d && PortState() == psOpen) d->SetBaseAddress(Value);
}

void TRivuCustomComPort::SetOnTrigger(TTriggerEvent Event) {
  onTrigger_ = std::move(Event);
  UpdateHandlerFlag();
}
void TRivuCustomComPort::SetOnTriggerAvail(TTriggerAvailEvent Event) {
  onTriggerAvail_ = std::move(Event);
  UpdateHandlerFlag();
}
void TRivuCustomComPort::SetOnTriggerData(TTriggerHandleEvent Event) {
  onTriggerData_ = std::move(Event);
  UpdateHandlerFlag();
}
void TRivuCustomComPort::SetOnTriggerStatus(TTriggerHandleEvent Event) {
  onTriggerStatus_ = std::move(Event);
  UpdateHandlerFlag();
}
void TRivuCustomComPort::SetOnTriggerTimer(TTriggerHandleEvent Event) {
  onTriggerTimer_ = std::move(Event);
  UpdateHandlerFlag();
}
void TRivuCustomComPort::SetOnTriggerLineError(TTriggerLineErrorEvent Event) {
  onTriggerLineError_ = std::move(Event);
  UpdateHandlerFlag();
}
void TRivuCustomComPort::SetOnTriggerModemStatus(TNotifyEvent Event) {
  onTriggerModemStatus_ = std::move(Event);
  UpdateHandlerFlag();
}
void TRivuCustomComPort::SetOnTriggerOutbuffFree(TNotifyEvent Event) {
  onTriggerOutbuffFree_ = std::move(Event);
  UpdateHandlerFlag();
}
void TRivuCustomComPort::SetOnTriggerOutbuffUsed(TNotifyEvent Event) {
  onTriggerOutbuffUsed_ = std::move(Event);
  UpdateHandlerFlag();
}
void TRivuCustomComPort::SetOnTriggerOutSent(TNotifyEvent Event) {
  onTriggerOutSent_ = std::move(Event);
  UpdateHandlerFlag();
}

bool TRivuCustomComPort::AnyTriggerEvent() const {
  return onTrigger_ || onTriggerAvail_ || onTriggerData_ || onTriggerStatus_ || onTriggerTimer_ ||
         onTriggerLineError_ || onTriggerModemStatus_ || onTriggerOutbuffFree_ ||
         onTriggerOutbuffUsed_ || onTriggerOutSent_;
}

void TRivuCustomComPort::UpdateHandlerFlag() {
  if (auto d = Current(); d && PortState() == psOpen) {
    d->UpdateHandlerFlags(AnyTriggerEvent() ? fuEnablePort : fuDisablePort);
  }
}
