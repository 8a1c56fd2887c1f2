#include "serial/dispatcher/line_report.h"

#include "serial/dispatcher/dcb.h"

TLineReport LineReport(uint8_t Moved, uint8_t OldLines, uint8_t NewLines) {
  TLineReport R;
  const uint8_t Changed = NewLines ^ OldLines;
  static constexpr struct {
    uint8_t Line;
    uint32_t Event;
    uint8_t Delta;
  } kLines[] = {{0x10, evCts, 0x01}, {0x20, evDsr, 0x02}, {0x80, evRlsd, 0x08}};
  for (const auto& L : kLines) {
    if (Changed & L.Line) {
      R.Events |= L.Event;
    } else if (Moved & L.Line) {
      R.Events |= L.Event;
      R.Pulses |= L.Delta;
    }
  }
  if (Changed & 0x40) {
    R.Events |= (NewLines & 0x40) ? evRing : evRing2;
  } else if (Moved & 0x40) {
    R.Events |= evRing | evRing2;
  }
  return R;
}
