#include "download/protocol.h"

#include <algorithm>
#include <string_view>

#include "download/crc32.h"
#include "download/request_header.h"

namespace {

constexpr std::size_t kTotalLengthOffset = 16;

bool StartsWith(const ResponseHeader& header, std::string_view text) {
  return std::equal(text.begin(), text.end(), header.begin(),
                    [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; });
}

}  // namespace

uint32_t UpRequestWord(std::optional<ContentType> type) {
  return UP_REQUEST | TypeByte(type);
}

bool ResponseHeaderAccepted(const ResponseHeader& header) {
  return StartsWith(header, kRequestSignature.substr(0, 5)) || StartsWith(header, "TAVO") ||
         StartsWith(header, "MIRO");
}

uint32_t ResponseTotalLength(const ResponseHeader& header) {
  return UnpackWord(header.data() + kTotalLengthOffset);
}

bool PacketIntact(std::span<const uint8_t> packet) {
  if (packet.size() < kMinPacketLength) return false;
  const std::size_t payload = packet.size() - kWordSize;
  return Crc32(0, packet.data(), static_cast<uint32_t>(payload)) ==
         UnpackWord(packet.data() + payload);
}
