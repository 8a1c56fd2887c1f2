// The line as the driver holds it, read with the kernel's own calls, apart
// from the component's reading of it.
#pragma once

#include <cstdint>

namespace vmguest {

struct TDriverLine {
  uint32_t Rate = 0;
  int DataBits = 0;
  char Parity = 'N';  // N, O, E, M or S
  bool TwoStops = false;
  bool operator==(const TDriverLine&) const = default;
};

bool ReadDriverLine(int Fd, TDriverLine& Out);

}  // namespace vmguest
