#include "serial/ports/port_probe.h"

#include "serial/errors/port_error_numbers.h"

TProbeResult ClassifyPortError(int32_t PortError) {
  switch (PortError) {
    case 0:
      return TProbeResult::prOpened;
    case oeAccessDenied:
      return TProbeResult::prInUse;
    case oePermissionDenied:
      return TProbeResult::prAccessDenied;
    case oeFileNotFound:
    case oePathNotFound:
      return TProbeResult::prNoDevice;
    default:
      return TProbeResult::prFailed;
  }
}

const char* ProbeResultText(TProbeResult Result) {
  switch (Result) {
    case TProbeResult::prOpened:
      return "free";
    case TProbeResult::prInUse:
      return "in use by another program";
    case TProbeResult::prAccessDenied:
      return "permission denied";
    case TProbeResult::prNoDevice:
      return "no such device";
    case TProbeResult::prFailed:
      break;
  }
  return "cannot be opened";
}
