#include "serial/errors/platform_error_text.h"

#include <cstring>

#include "serial/errors/message_table.h"

namespace {

// Texts for the numbers the device layer produces with a port meaning; they
// would read wrongly as errno values (5 is EIO, 6 is ENXIO there).
struct PortErrorText {
  int32_t number;
  const char* text;
};

constexpr PortErrorText kPortErrorTexts[] = {
    {2, "No such device"},
    {3, "No such device"},
    {5, "The device is in use by another program"},
    {6, "Invalid device handle"},
    {87, "Invalid parameter"},
    {995, "The operation was aborted"},
};

std::string_view RawPlatformText(int32_t number) {
  for (const PortErrorText& e : kPortErrorTexts) {
    if (e.number == number) return e.text;
  }
  // Thread-safe, and null for numbers the C library has no text for (where
  // strerror would invent "Unknown error N").
  const char* text = strerrordesc_np(number);
  return text ? std::string_view(text) : std::string_view();
}

}  // namespace

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
  return CleanPlatformText(RawPlatformText(number).substr(0, RivuMaxMessageLength));
}
