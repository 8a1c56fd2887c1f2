#include "serial/recording/system_info.h"

#include <sys/utsname.h>

#include <cstdio>
#include <string_view>

namespace {

constexpr std::size_t kMaxServiceLevel = 80;

#define ZEDAZI_STR2(x) #x
#define ZEDAZI_STR(x) ZEDAZI_STR2(x)

}  // namespace

std::string CompilerText() {
#if defined(__clang__)
  return "Clang " ZEDAZI_STR(__clang_major__) "." ZEDAZI_STR(__clang_minor__) "." ZEDAZI_STR(
      __clang_patchlevel__);
#elif defined(__GNUC__)
  return "GCC " ZEDAZI_STR(__GNUC__) "." ZEDAZI_STR(__GNUC_MINOR__) "." ZEDAZI_STR(
      __GNUC_PATCHLEVEL__);
#else
  return "Unknown compiler";
#endif
}

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

std::string LocalTimeText(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, "%d/%m/%y, %H:%M:%S", &local);
  return text;
}
