#include "serial/ports/port_probe.h"
#include "serial/posix/posix_device.h"

TProbeResult ProbeDevice(const std::string& Path) {
  if (Path.empty()) return TProbeResult::prNoDevice;
  return ClassifyPortError(posixdev::TrialOpen(Path));
}
