#include "serial/dispatcher/input_hold.h"

#include <algorithm>

#include "serial/dispatcher/dispatcher.h"

TInputLimits InputLimits(const TDcb& Dcb, uint32_t InSize) {
  TInputLimits L;
  if (!Dcb.fInX && !Dcb.fOutxCtsFlow && Dcb.fRtsControl != dcRtsHandshake) return L;
  L.HoldAbove = std::max<int64_t>(0, int64_t(InSize) - Dcb.XoffLim);
  L.ResumeBelow = Dcb.XonLim;
  return L;
}

bool HoldInputOff(const TInputLimits& Limits, bool HeldOff, int64_t Unread) {
  if (Limits.HoldAbove < 0 || Unread == 0) return false;
  return HeldOff ? Unread >= Limits.ResumeBelow : Unread > Limits.HoldAbove;
}

void TInputHold::SetLimits(const TInputLimits& Limits) {
  HoldAbove_ = Limits.HoldAbove;
  ResumeBelow_ = Limits.ResumeBelow;
}

bool TInputHold::HoldOff(TRivuBaseDispatcher& D) {
  const TInputLimits L = Limits();
  if (L.HoldAbove < 0) {
    HeldOff_ = false;
    return false;
  }
  auto Hold = [&](bool HeldOff) {
    const int64_t Unread = D.UnreadInput();
    return HoldInputOff(L, HeldOff, Unread) &&
           !(D.DataWaitersNow() > 0 && Unread < int64_t(DispatchBufferSize));
  };
  if (HeldOff_.load()) {
    HeldOff_ = Hold(true);
  } else if (Hold(false)) {
    // Said before looking again, so a reader taking bytes in between sees
    // it and wakes the read thread.
    HeldOff_ = true;
    HeldOff_ = Hold(true);
  }
  return HeldOff_.load();
}

bool TInputHold::MayResume(TRivuBaseDispatcher& D) const {
  return HeldOff_.load() && !HoldInputOff(Limits(), true, D.UnreadInput());
}
