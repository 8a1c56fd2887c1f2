#include <cstring>

#include "serial/errors/platform_error_text.h"

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

}  // namespace

std::string RawPlatformErrorText(int32_t number) {
  for (const PortErrorText& e : kPortErrorTexts) {
    if (e.number == number) return e.text;
  }
  // Thread-safe, and null for numbers the C library has no text for (where
  // strerror would invent "Unknown error N").
  const char* text = strerrordesc_np(number);
  return text ? std::string(text) : std::string();
}
