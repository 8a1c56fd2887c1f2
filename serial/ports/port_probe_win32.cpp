#include "serial/ports/port_probe.h"
#include "serial/win32/win32_device.h"

TProbeResult ProbeDevice(const std::string& Path) {
  if (Path.empty()) return TProbeResult::prNoDevice;
  return ClassifyPortError(windev::TrialOpen(Path));
}

std::string DeviceGroup(const std::string&) {
  return {};
}

std::string PermissionMessage(const std::string& Path) {
  return "Access denied opening " + (Path.empty() ? std::string("the port") : Path) +
         ": another program may hold it, or the account may not use it";
}
