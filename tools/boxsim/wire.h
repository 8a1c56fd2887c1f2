// The box's view of the wire: the one place the simulator touches the
// protocol definitions of download/, plus the few words only a box sends.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "download/content_type.h"
#include "download/crc32.h"
#include "download/protocol.h"

namespace boxsim {

using Bytes = std::vector<uint8_t>;

// What a refusing box answers; anything but the expected word is a refusal.
inline constexpr uint32_t kRequestRefused = 0xBA5570EEu;
inline constexpr uint32_t kHeaderRefused = 0xAB9000EEu;

inline constexpr std::array<uint8_t, 3> kBadGreeting{0x4B, 0x47, 0x58};

// The request word's first three bytes; its last is the type byte.
inline constexpr uint32_t kRequestMask = 0xFFFFFF00u;

// The largest payload that keeps a whole frame (length, payload, CRC) within
// the tool's 8192-byte receive buffer.
inline constexpr uint32_t kMaxPayload = kMaxPacketLength - 2 * kWordSize;

inline constexpr std::size_t kTotalLengthOffset = 16;
inline constexpr std::string_view kHeaderMagic = "TAVRA_V_ZT100";

uint32_t Crc(std::span<const uint8_t> data);

void AppendWord(Bytes& out, uint32_t value);
uint32_t ReadWord(std::span<const uint8_t> bytes);  // first 4 bytes, MSB first

// The content type whose request word carries `typeByte`.
std::optional<ContentType> TypeFromByte(uint8_t typeByte);

// The whole frame of one packet: length N = payload + 4, payload, CRC.
Bytes Frame(std::span<const uint8_t> payload);

// Name of a command word for the exchange log ("PACKET_OK"), or its hex bytes.
std::string WordName(uint32_t word);
std::string Hex(std::span<const uint8_t> bytes, std::size_t limit = 16);

}  // namespace boxsim
