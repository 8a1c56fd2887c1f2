#include "download/request_header.h"

#include <algorithm>

namespace {

constexpr std::size_t kFixedOffset = 48;
constexpr std::array<uint8_t, 6> kFixedBytes{0xB2, 0x00, 0x01, 0x00, 0x01, 0x00};
constexpr std::size_t kDateOffset = 54;
constexpr std::string_view kDate = "270307";
constexpr std::size_t kTrailerOffset = 60;
// 0x11223344 stored least significant byte first: the one little-endian word
// in the protocol.
constexpr std::array<uint8_t, 4> kTrailer{0x44, 0x33, 0x22, 0x11};

}  // namespace

RequestHeader::RequestHeader() : block_(Initial()) {}

RequestHeader& RequestHeader::Instance() {
  static RequestHeader instance;
  return instance;
}

HeaderBlock RequestHeader::Initial() {
  HeaderBlock block{};
  std::copy(kRequestSignature.begin(), kRequestSignature.end(), block.begin());
  std::copy(kFixedBytes.begin(), kFixedBytes.end(), block.begin() + kFixedOffset);
  std::copy(kDate.begin(), kDate.end(), block.begin() + kDateOffset);
  std::copy(kTrailer.begin(), kTrailer.end(), block.begin() + kTrailerOffset);
  return block;
}

HeaderBlock RequestHeader::Apply(std::optional<ContentType> type) {
  std::lock_guard lock(mutex_);
  if (type) {
    const std::string_view code = Describe(*type).code;
    std::copy(code.begin(), code.end(), block_.begin() + kCodeOffset);
  }
  return block_;
}

HeaderBlock RequestHeader::Bytes() const {
  std::lock_guard lock(mutex_);
  return block_;
}

void RequestHeader::Reset() {
  std::lock_guard lock(mutex_);
  block_ = Initial();
}
