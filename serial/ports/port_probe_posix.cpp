#include <grp.h>
#include <sys/stat.h>

#include <array>

#include "serial/ports/port_probe.h"
#include "serial/posix/posix_device.h"

TProbeResult ProbeDevice(const std::string& Path) {
  if (Path.empty()) return TProbeResult::prNoDevice;
  return ClassifyPortError(posixdev::TrialOpen(Path));
}

std::string DeviceGroup(const std::string& Path) {
  struct stat st {};
  if (::stat(Path.c_str(), &st) != 0) return {};
  group gr{};
  group* found = nullptr;
  std::array<char, 4096> buf{};
  if (::getgrgid_r(st.st_gid, &gr, buf.data(), buf.size(), &found) != 0 || !found) return {};
  return found->gr_name;
}

std::string PermissionMessage(const std::string& Path) {
  std::string group = DeviceGroup(Path);
  if (group.empty()) group = "dialout";
  return "Permission denied opening " + (Path.empty() ? std::string("the port") : Path) +
         ": the device belongs to the group " + group + ". Add yourself with \"sudo usermod -aG " +
         group + " $USER\", then log in again";
}
