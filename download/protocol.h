// The words, blocks and packet frame exchanged with the box. Every 32-bit
// value on the wire travels most significant byte first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "download/content_type.h"

// Command words, compared and built as whole 32-bit values.
inline constexpr uint32_t UP_REQUEST = 0xAB557000u;  // low byte: the type byte
inline constexpr uint32_t UP_ACCEPTED = 0xBA557090u;
inline constexpr uint32_t HEADER_ACCEPTED = 0xAB9000ABu;
inline constexpr uint32_t PACKET_OK = 0xAB50434Bu;
inline constexpr uint32_t PACKET_REPEAT = 0xAB4D4F52u;
inline constexpr uint32_t TRANSFER_ABORT = 0xAB9009ABu;
inline constexpr uint32_t END_MARKER = 0xAB454E44u;  // stands where a packet length would

inline constexpr std::size_t kWordSize = 4;
using WordBytes = std::array<uint8_t, kWordSize>;

// The box announces itself with "KGS".
inline constexpr std::array<uint8_t, 3> kGreeting{0x4B, 0x47, 0x53};

// Both header blocks are 64 bytes.
inline constexpr std::size_t kHeaderSize = 64;
using HeaderBlock = std::array<uint8_t, kHeaderSize>;
using ResponseHeader = HeaderBlock;

// A packet's length field counts the payload and its 4-byte CRC. The upper
// bound is the dispatch buffer the packet is taken from in one piece.
inline constexpr uint32_t kMinPacketLength = 4;
inline constexpr uint32_t kMaxPacketLength = 8192;

// Stores `value` into the 4 bytes at `bytes`, most significant first.
constexpr void PackWord(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value >> 24);
  bytes[1] = static_cast<uint8_t>(value >> 16);
  bytes[2] = static_cast<uint8_t>(value >> 8);
  bytes[3] = static_cast<uint8_t>(value);
}

// The value of the 4 bytes at `bytes`, the first most significant.
constexpr uint32_t UnpackWord(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

constexpr WordBytes ToWire(uint32_t value) {
  WordBytes bytes{};
  PackWord(bytes.data(), value);
  return bytes;
}

// The request word for `type`; with none chosen its type byte is 00.
uint32_t UpRequestWord(std::optional<ContentType> type);

// True when the box's response header starts with "TAVRA", "TAVO" or "MIRO",
// exactly and case-sensitively.
bool ResponseHeaderAccepted(const ResponseHeader& header);

// The content length the response header announces (offset 16).
uint32_t ResponseTotalLength(const ResponseHeader& header);

// True when `packet` (payload then CRC, without the length field) carries the
// CRC-32 of its payload in its last four bytes. Fewer than 4 bytes is never
// intact.
bool PacketIntact(std::span<const uint8_t> packet);
