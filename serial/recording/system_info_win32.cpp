#include <windows.h>

#include <string>

#include "serial/recording/system_info.h"

std::string OperatingSystemText() {
  // The documented version calls answer what the program's manifest allows;
  // the kernel's own call tells the truth.
  using TGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto Get = reinterpret_cast<TGetVersion>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  if (!Get || Get(&v) != 0) return "Windows";
  return "Windows " + std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion) +
         " build " + std::to_string(v.dwBuildNumber);
}
