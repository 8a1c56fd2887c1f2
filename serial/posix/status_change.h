// What the status thread makes of two looks at the modem lines and the line
// error counters.
#pragma once

#include <cstdint>

#include "serial/posix/posix_device.h"

struct TStatusChange {
  uint32_t Events = 0;  // device event bits for a status item (ev*)
  uint32_t Errors = 0;  // line error bits for GetComError (le*)
  // Delta bits (CTS 0x01, DSR 0x02, DCD 0x08) of lines that changed and
  // changed back between the two looks, which the lines no longer show.
  uint8_t Pulses = 0;
  bool operator==(const TStatusChange&) const = default;
};

// Lines as posixdev::ModemLines gives them. Each line that changed, by its
// level or by its counter, is its event, ring by edge (evRing rising, evRing2
// falling, both for a whole ring between the looks); each error counter that
// moved is its error bit, a break an evBreak and any other error an evErr.
TStatusChange StatusChange(uint8_t OldLines, uint8_t NewLines, const posixdev::TCounters& OldCounts,
                           const posixdev::TCounters& NewCounts);
