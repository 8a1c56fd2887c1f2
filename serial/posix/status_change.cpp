#include "serial/posix/status_change.h"

#include "serial/dispatcher/dcb.h"

TStatusChange StatusChange(uint8_t OldLines, uint8_t NewLines, const posixdev::TCounters& OldCounts,
                           const posixdev::TCounters& NewCounts) {
  TStatusChange C;
  const uint8_t Changed = NewLines ^ OldLines;
  if (Changed & 0x10) C.Events |= evCts;
  if (Changed & 0x20) C.Events |= evDsr;
  if (Changed & 0x80) C.Events |= evRlsd;
  if (Changed & 0x40) C.Events |= (NewLines & 0x40) ? evRing : evRing2;
  // Counters only grow, but may wrap: any difference counts.
  if (NewCounts.BufOverrun != OldCounts.BufOverrun) C.Errors |= leOverflow;
  if (NewCounts.Overrun != OldCounts.Overrun) C.Errors |= leOverrun;
  if (NewCounts.Parity != OldCounts.Parity) C.Errors |= leParity;
  if (NewCounts.Frame != OldCounts.Frame) C.Errors |= leFraming;
  if (NewCounts.Brk != OldCounts.Brk) C.Errors |= leBreak;
  if (C.Errors & leBreak) C.Events |= evBreak;
  if (C.Errors & ~leBreak) C.Events |= evErr;
  return C;
}
