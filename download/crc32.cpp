#include "download/crc32.h"

#include <array>

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1u) != 0 ? (value >> 1) ^ kPolynomial : value >> 1;
    }
    table[i] = value;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0x77073096u && kTable[128] == 0xEDB88320u);

inline uint32_t Step(uint32_t reg, uint8_t byte) {
  return kTable[(reg ^ byte) & 0xFFu] ^ (reg >> 8);
}

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, uint32_t length) {
  uint32_t reg = ~crc;
  // Eight bytes per pass keeps the loop overhead off the table lookups.
  while (length >= 8) {
    reg = Step(reg, data[0]);
    reg = Step(reg, data[1]);
    reg = Step(reg, data[2]);
    reg = Step(reg, data[3]);
    reg = Step(reg, data[4]);
    reg = Step(reg, data[5]);
    reg = Step(reg, data[6]);
    reg = Step(reg, data[7]);
    data += 8;
    length -= 8;
  }
  while (length-- > 0) {
    reg = Step(reg, *data++);
  }
  return ~reg;
}
