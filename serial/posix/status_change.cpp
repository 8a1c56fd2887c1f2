#include "serial/posix/status_change.h"

#include "serial/dispatcher/dcb.h"
#include "serial/dispatcher/line_report.h"

TStatusChange StatusChange(uint8_t OldLines, uint8_t NewLines, const posixdev::TCounters& OldCounts,
                           const posixdev::TCounters& NewCounts) {
  using posixdev::TCounters;
  // A line whose counter moved changed at least once since the last look.
  static constexpr struct {
    uint8_t Line;
    uint32_t TCounters::*Count;
  } kCounted[] = {{0x10, &TCounters::Cts},
                  {0x20, &TCounters::Dsr},
                  {0x40, &TCounters::Rng},
                  {0x80, &TCounters::Dcd}};
  uint8_t Moved = 0;
  for (const auto& L : kCounted) {
    if (NewCounts.*L.Count != OldCounts.*L.Count) Moved |= L.Line;
  }
  const TLineReport Lines = LineReport(Moved, OldLines, NewLines);
  TStatusChange C;
  C.Events = Lines.Events;
  C.Pulses = Lines.Pulses;
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
