// The integer conversion error of the port dialog, and the conversion itself.
#pragma once

#include <charconv>
#include <string>

#include "serial/errors/exceptions.h"

// The toolkit's conversion error: a plain exception with a message, outside
// the serial component's own hierarchy.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Decimal text to int: leading blanks and a sign allowed, nothing after the
// digits; anything else raises "'<text>' is not a valid integer value".
inline int StrToInt(const std::string& Text) {
  const char* first = Text.data();
  const char* last = first + Text.size();
  while (first != last && *first == ' ') ++first;
  if (first != last && *first == '+') ++first;
  int value = 0;
  auto [end, err] = std::from_chars(first, last, value);
  if (first == last || err != std::errc() || end != last)
    throw EConvertError("'" + Text + "' is not a valid integer value");
  return value;
}
