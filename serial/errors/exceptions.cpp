#include "serial/errors/exceptions.h"

#include <limits>

#include "serial/errors/message_lookup.h"

ERivuException::ERivuException(int32_t code)
    : Exception(RivuLoadStr(static_cast<int16_t>(code))), errorCode_(code) {}

ERivuException::ERivuException(std::string message) : Exception(std::move(message)) {}

int32_t ERivuException::MapCodeToStringID(int32_t code) {
  // The most negative code has no positive twin; keep it in range.
  if (code == std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::max();
  return code < 0 ? -code : code;
}
