// The component's message table: texts of error codes (stored negative) and of
// status and log message numbers (stored positive), sorted by magnitude.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

struct RivuMessageNumberLookupRecord {
  int32_t number;
  std::string_view text;
};

// The table is ordered and searched by a number's magnitude: error codes are
// negative, message numbers positive.
constexpr int32_t MessageMagnitude(int32_t number) {
  return number < 0 ? -number : number;
}

// Longest text an entry or a looked-up message may have.
inline constexpr std::size_t RivuMaxMessageLength = 255;

// Sorted by ascending magnitude of `number`, no two entries share a magnitude
// (checked at compile time), entry 0 is ecOK. Constant-initialised and
// read-only, so any thread may read it without a lock.
extern const std::span<const RivuMessageNumberLookupRecord> RivuMessageNumberLookup;

// Message number bases of the dispatch log vocabulary.
inline constexpr int32_t RivuDispatchTypeMessageBase = 15001;
inline constexpr int32_t RivuDispatchSubTypeMessageBase = 15100;
inline constexpr int32_t RivuLogHeaderMessage = 15501;
inline constexpr int32_t RivuLogRuleMessage = 15502;
inline constexpr int32_t RivuModemStatusTagMessageBase = 15601;
