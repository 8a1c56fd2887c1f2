#include "serial/ports/port_probe.h"
#include "serial/win32/win32_device.h"

TProbeResult ProbeDevice(const std::string& Path) {
  if (Path.empty()) return TProbeResult::prNoDevice;
  return ClassifyPortError(windev::TrialOpen(Path));
}
