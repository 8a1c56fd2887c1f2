// Windows has no device groups or udev: a refused open says what it can.
#include "serial/ports/port_access.h"

TDeviceAccess ReadDeviceAccess(const std::string& Path, const TPortMapConfig&) {
  TDeviceAccess Access;
  Access.Path = Path;
  return Access;
}

std::string UdevRule(const TDeviceAccess&) {
  return {};
}

std::string PermissionAdvice(const TDeviceAccess& Access) {
  return "Access denied opening " + (Access.Path.empty() ? std::string("the port") : Access.Path) +
         ": another program may hold it, or the account may not use it";
}

std::string PermissionAdvice(const std::string& Path) {
  return PermissionAdvice(ReadDeviceAccess(Path, {}));
}
