#include <windows.h>

#include "serial/errors/platform_error_text.h"

std::string RawPlatformErrorText(int32_t number) {
  char text[512];
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(number),
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
  std::string out(text, n);
  // The system ends its texts with a line break.
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ')) {
    out.pop_back();
  }
  return out;
}
