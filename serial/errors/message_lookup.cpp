#include "serial/errors/message_lookup.h"

#include <algorithm>
#include <cstring>

#include "serial/errors/platform_error_text.h"

std::string_view FindMessageText(std::span<const RivuMessageNumberLookupRecord> table,
                                 int32_t magnitude) {
  std::size_t lo = 0;
  std::size_t hi = table.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    const int32_t probe = MessageMagnitude(table[mid].number);
    if (probe == magnitude) return table[mid].text.substr(0, RivuMaxMessageLength);
    if (probe < magnitude) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return {};
}

std::string RivuLoadStr(int16_t code) {
  const int32_t magnitude = MessageMagnitude(code);
  const std::string_view text = FindMessageText(RivuMessageNumberLookup, magnitude);
  if (!text.empty()) return std::string(text);
  return PlatformErrorText(magnitude);
}

std::string ErrorMsg(int16_t code) {
  return RivuLoadStr(code);
}

char* RivuLoadZ(char* dest, int32_t code) {
  if (dest == nullptr) return nullptr;
  const std::string text = RivuLoadStr(static_cast<int16_t>(code));
  const std::size_t n = std::min(text.size(), RivuMaxMessageLength);
  std::memcpy(dest, text.data(), n);
  dest[n] = '\0';
  return dest;
}

std::string MessageNumberToString(int16_t code) {
  return std::string(FindMessageText(RivuMessageNumberLookup, MessageMagnitude(code)));
}
