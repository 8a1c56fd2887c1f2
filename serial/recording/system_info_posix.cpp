#include <sys/utsname.h>

#include <string_view>

#include "serial/recording/system_info.h"

namespace {

constexpr std::size_t kMaxServiceLevel = 80;

}  // namespace

std::string OperatingSystemText() {
  utsname u{};
  if (uname(&u) != 0) return "Unknown";
  // The release reads "major.minor.rest"; the rest joins the service level.
  std::string_view release(u.release);
  std::size_t end = 0;
  for (int dots = 0; end < release.size(); ++end) {
    const char c = release[end];
    if (c == '.' && ++dots == 2) break;
    if (c != '.' && (c < '0' || c > '9')) break;
  }
  std::string_view version = release.substr(0, end);
  std::string_view rest = release.substr(end);
  while (!rest.empty() && (rest.front() == '.' || rest.front() == '-')) rest.remove_prefix(1);

  std::string service(rest);
  if (!service.empty() && u.version[0] != '\0') service += ' ';
  service += u.version;
  if (service.size() > kMaxServiceLevel) service.resize(kMaxServiceLevel);

  std::string text(u.sysname);
  text += ' ';
  text += version;
  if (!service.empty()) {
    text += ' ';
    text += service;
  }
  return text;
}
