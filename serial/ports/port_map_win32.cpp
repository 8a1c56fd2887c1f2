// On Windows the port numbers are the system's own: COMn is "\\.\COMn", and
// whether a device stands behind it is for a trial open to tell.
#include "serial/ports/port_map.h"
#include "serial/win32/win32_device.h"

std::filesystem::path DefaultLinksDir() {
  return {};
}

TPortMapConfig DefaultPortMapConfig() {
  return {};
}

bool HasSerialHardware(const std::string&, const TPortMapConfig&) {
  return false;
}

TUsbInfo UsbInfoOf(const std::string&, const std::filesystem::path&) {
  return {};
}

std::string TtyNameOf(const std::filesystem::path&, const TPortMapConfig&) {
  return {};
}

TPortMap TPortMap::Build(const TPortMapConfig&) {
  TPortMap map;
  for (unsigned n = MinComNumber; n <= MaxComNumber; ++n) {
    map.entries_.push_back({n, windev::ComPath(n), {}, TPortOrigin::poDevice, {}});
  }
  return map;
}
