#include "serial/errors/platform_error_text.h"

#include "serial/errors/message_table.h"

std::string CleanPlatformText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 32) c = ' ';
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out.push_back(c);
  }
  return out;
}

std::string PlatformErrorText(int32_t number) {
  const std::string raw = RawPlatformErrorText(number);
  return CleanPlatformText(std::string_view(raw).substr(0, RivuMaxMessageLength));
}
