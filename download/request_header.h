// The 64-byte request header the tool sends after UP_ACCEPTED. One block
// lives as long as the program; only its code field (offsets 32..34) ever
// changes, and only when a content type with a code is requested, so a Logo
// request carries the code of the last other type requested (zeros at first).
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string_view>

#include "download/content_type.h"
#include "download/protocol.h"

// The text the block starts with; the box echoes its first five bytes.
inline constexpr std::string_view kRequestSignature = "TAVRA_V_ZT100";
inline constexpr std::size_t kCodeOffset = 32;

class RequestHeader {
 public:
  RequestHeader();

  // The process-wide block.
  static RequestHeader& Instance();

  // Writes the code of `type` when it has one and returns the block to send.
  HeaderBlock Apply(std::optional<ContentType> type);

  HeaderBlock Bytes() const;

  // Back to the start-up contents (code field zero); for tests.
  void Reset();

 private:
  static HeaderBlock Initial();

  // The download task writes it while a test or another task may read it.
  mutable std::mutex mutex_;
  HeaderBlock block_;
};
