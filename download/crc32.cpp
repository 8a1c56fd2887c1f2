#include "download/crc32.h"

#include <array>

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;

using Tables = std::array<std::array<uint32_t, 256>, 8>;

// tables[0] is the standard byte table; tables[k][i] is the register after
// byte i followed by k zero bytes, so eight bytes can be folded in one pass.
constexpr Tables MakeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 1u) != 0 ? (value >> 1) ^ kPolynomial : value >> 1;
    }
    t[0][i] = value;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (std::size_t k = 1; k < t.size(); ++k) {
      t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
    }
  }
  return t;
}

constexpr Tables kTables = MakeTables();
static_assert(kTables[0][1] == 0x77073096u && kTables[0][128] == 0xEDB88320u);

inline uint32_t Step(uint32_t reg, uint8_t byte) {
  return kTables[0][(reg ^ byte) & 0xFFu] ^ (reg >> 8);
}

}  // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, uint32_t length) {
  uint32_t reg = ~crc;
  // Eight bytes per pass; the eight lookups of a pass are independent of each
  // other, so they overlap instead of waiting on one another.
  while (length >= 8) {
    const uint32_t low = reg ^ (uint32_t{data[0]} | uint32_t{data[1]} << 8 |
                                uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24);
    reg = kTables[7][low & 0xFFu] ^ kTables[6][(low >> 8) & 0xFFu] ^
          kTables[5][(low >> 16) & 0xFFu] ^ kTables[4][low >> 24] ^ kTables[3][data[4]] ^
          kTables[2][data[5]] ^ kTables[1][data[6]] ^ kTables[0][data[7]];
    data += 8;
    length -= 8;
  }
  while (length-- > 0) {
    reg = Step(reg, *data++);
  }
  return ~reg;
}
