// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320, preset and final
// inversion), as used to protect each packet from the box.
#pragma once

#include <cstdint>

// Returns the CRC-32 of `length` bytes at `data`, continued from `crc`, the
// result of a previous call over the bytes before them; 0 starts afresh.
uint32_t Crc32(uint32_t crc, const uint8_t* data, uint32_t length);
