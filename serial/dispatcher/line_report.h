// What one look at the modem lines reports, whichever way the driver tells
// that a line moved (its line counters, or the events it waits for).
#pragma once

#include <cstdint>

struct TLineReport {
  uint32_t Events = 0;  // device event bits for a status item (ev*)
  // Delta bits (CTS 0x01, DSR 0x02, DCD 0x08) of lines that changed and
  // changed back since the last look, which the levels no longer show.
  uint8_t Pulses = 0;
  bool operator==(const TLineReport&) const = default;
};

// Lines as the status byte's high half holds them (CTS 0x10, DSR 0x20, RING
// 0x40, DCD 0x80); Moved, the lines the driver says changed meanwhile. A
// line whose level changed is its event; one that moved and reads as before
// is its event and a pulse. Ring goes by edge: evRing rising, evRing2
// falling, both for a whole ring between the looks.
TLineReport LineReport(uint8_t Moved, uint8_t OldLines, uint8_t NewLines);
