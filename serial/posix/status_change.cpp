#include "serial/posix/status_change.h"

#include "serial/dispatcher/dcb.h"

TStatusChange StatusChange(uint8_t OldLines, uint8_t NewLines, const posixdev::TCounters& OldCounts,
                           const posixdev::TCounters& NewCounts) {
  using posixdev::TCounters;
  TStatusChange C;
  const uint8_t Changed = NewLines ^ OldLines;
  static constexpr struct {
    uint8_t Line;
    uint32_t TCounters::*Count;
    uint32_t Event;
    uint8_t Delta;
  } kLines[] = {{0x10, &TCounters::Cts, evCts, 0x01},
                {0x20, &TCounters::Dsr, evDsr, 0x02},
                {0x80, &TCounters::Dcd, evRlsd, 0x08}};
  for (const auto& L : kLines) {
    const bool Counted = NewCounts.*L.Count != OldCounts.*L.Count;
    if (Changed & L.Line) {
      C.Events |= L.Event;
    } else if (Counted) {
      C.Events |= L.Event;
      C.Pulses |= L.Delta;
    }
  }
  if (Changed & 0x40) {
    C.Events |= (NewLines & 0x40) ? evRing : evRing2;
  } else if (NewCounts.Rng != OldCounts.Rng) {
    C.Events |= evRing | evRing2;
  }
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
