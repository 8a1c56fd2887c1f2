// Message texts for error codes and message numbers. Lookups compare
// magnitudes only, so -4201 finds the status text of 4201 and the reverse.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "serial/errors/message_table.h"

// The table text for the code's magnitude, else the platform's cleaned text
// for that number, else empty. At most 255 characters.
std::string RivuLoadStr(int16_t code);

// Same as RivuLoadStr.
std::string ErrorMsg(int16_t code);

// RivuLoadStr of the low 16 bits of `code`, copied zero-terminated into
// `dest`, which must hold 256 characters. Returns `dest`.
char* RivuLoadZ(char* dest, int32_t code);

// The table text for the code's magnitude, or empty; never the platform text.
std::string MessageNumberToString(int16_t code);

// Binary search of a table sorted by magnitude; the text cut to 255
// characters, or empty when no entry has that magnitude.
std::string_view FindMessageText(std::span<const RivuMessageNumberLookupRecord> table,
                                 int32_t magnitude);
