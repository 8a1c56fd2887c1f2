// The platform's text for an error number, as one clean line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Numbers are the ones the serial component carries: the device layer reports
// the classic port error numbers (2/3 no such device, 5 held by another
// program, 6 invalid handle, 87 invalid parameter, 995 aborted). On Windows
// they are the system's own error numbers and the system's texts serve; on
// POSIX systems they get texts of their own, and any other number is read as
// an errno value. Returns the empty string when the platform knows no text for
// the number. The result is at most 255 characters, has no control characters
// and no double blanks.
std::string PlatformErrorText(int32_t number);

// The platform's own text for the number, as the platform gives it; empty
// when it has none.
std::string RawPlatformErrorText(int32_t number);

// Turns control characters into blanks and collapses runs of blanks to one.
std::string CleanPlatformText(std::string_view text);
