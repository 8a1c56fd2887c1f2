// Input flow limits as a device layer's read thread applies them. While flow
// control on input is on (XON/XOFF, or the RTS/CTS handshake), the read
// thread holds off once more than HoldAbove bytes wait unread in the
// component, and reads again once fewer than ResumeBelow wait, or none: the
// driver keeps what arrives meanwhile, and its own throttle (XOFF, RTS low)
// holds the far end. Both device layers keep this one rule.
#pragma once

#include <atomic>
#include <cstdint>

#include "serial/dispatcher/dcb.h"

class TRivuBaseDispatcher;

struct TInputLimits {
  int64_t HoldAbove = -1;  // negative: no limits
  int64_t ResumeBelow = 0;
};
// The limits a record asks for, on an input buffer of InSize bytes.
TInputLimits InputLimits(const TDcb& Dcb, uint32_t InSize);
// Whether the read thread holds off with Unread bytes waiting, given whether
// it held off until now.
bool HoldInputOff(const TInputLimits& Limits, bool HeldOff, int64_t Unread);

// The read thread's hold, shared with the threads that change the settings
// and the readers that take bytes. The layer wakes a held-off read thread
// when the limits change, an input flush empties the buffer, a reader begins
// to wait, or MayResume says a take made room.
class TInputHold {
 public:
  void SetLimits(const TInputLimits& Limits);
  // The read thread: whether to leave received bytes to the driver now. A
  // task waiting for more than the limit gets what the dispatch buffer can
  // take, or it would wait for good.
  bool HoldOff(TRivuBaseDispatcher& D);
  bool HeldOff() const { return HeldOff_.load(); }
  // A reader took bytes: whether a held-off read thread may read again.
  bool MayResume(TRivuBaseDispatcher& D) const;

 private:
  TInputLimits Limits() const { return {HoldAbove_.load(), ResumeBelow_.load()}; }
  std::atomic<int64_t> HoldAbove_{-1};
  std::atomic<int64_t> ResumeBelow_{0};
  std::atomic<bool> HeldOff_{false};
};
