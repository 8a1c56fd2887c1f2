#include "tools/boxsim/wire.h"

#include <cstdio>

namespace boxsim {

uint32_t Crc(std::span<const uint8_t> data) {
  return Crc32(0, data.data(), static_cast<uint32_t>(data.size()));
}

void AppendWord(Bytes& out, uint32_t value) {
  const WordBytes bytes = ToWire(value);
  out.insert(out.end(), bytes.begin(), bytes.end());
}

uint32_t ReadWord(std::span<const uint8_t> bytes) {
  return UnpackWord(bytes.data());
}

std::optional<ContentType> TypeFromByte(uint8_t typeByte) {
  for (const ContentTypeInfo& info : ContentTypes()) {
    if (info.typeByte == typeByte) return info.type;
  }
  return std::nullopt;
}

Bytes Frame(std::span<const uint8_t> payload) {
  Bytes frame;
  frame.reserve(payload.size() + 2 * kWordSize);
  AppendWord(frame, static_cast<uint32_t>(payload.size() + kWordSize));
  frame.insert(frame.end(), payload.begin(), payload.end());
  AppendWord(frame, Crc(payload));
  return frame;
}

std::string WordName(uint32_t word) {
  switch (word) {
    case UP_ACCEPTED:
      return "UP_ACCEPTED";
    case HEADER_ACCEPTED:
      return "HEADER_ACCEPTED";
    case PACKET_OK:
      return "PACKET_OK";
    case PACKET_REPEAT:
      return "PACKET_REPEAT";
    case TRANSFER_ABORT:
      return "TRANSFER_ABORT";
    case END_MARKER:
      return "END_MARKER";
    default:
      break;
  }
  if ((word & kRequestMask) == UP_REQUEST) return "UP_REQUEST";
  const WordBytes bytes = ToWire(word);
  return Hex(bytes);
}

std::string Hex(std::span<const uint8_t> bytes, std::size_t limit) {
  std::string text;
  char digits[4];
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
    if (!text.empty()) text += ' ';
    text += digits;
  }
  if (bytes.size() > limit) text += " ...";
  return text;
}

}  // namespace boxsim
