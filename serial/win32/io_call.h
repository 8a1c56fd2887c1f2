// One asynchronous device call's record, with the memory the driver may
// write into while the call is under way.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "serial/win32/win32_device.h"

struct TIoCall {
  TIoCall();
  OVERLAPPED Ov{};
  windev::THandle Event;  // manual-reset; the driver signals it at the end
  std::vector<uint8_t> Buffer;
  DWORD Events = 0;  // a WaitCommEvent's result
  // A fresh record for the next call on Event.
  OVERLAPPED& Begin();
  bool Ended() const { return HasOverlappedIoCompleted(&Ov); }
};

// A call cancelled that its driver has not ended is kept here, record, event
// and buffer, until it has: the driver may still write into them long after
// its thread and dispatcher have gone. Each handing-over frees those that
// have ended since.
void KeepUntilEnded(std::unique_ptr<TIoCall> Call);
// The calls kept that have not ended yet (those that have are freed first).
size_t CallsKept();
