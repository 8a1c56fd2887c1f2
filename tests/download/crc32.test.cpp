#include "download/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace {

uint32_t ZlibCrc(uint32_t crc, const std::vector<uint8_t>& data, std::size_t from, std::size_t to) {
  return static_cast<uint32_t>(crc32(crc, data.data() + from, static_cast<uInt>(to - from)));
}

std::vector<uint8_t> RandomBytes(std::mt19937& rng, std::size_t size) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<uint8_t> data(size);
  for (auto& b : data) b = static_cast<uint8_t>(byte(rng));
  return data;
}

TEST(Crc32, CheckValueInOneCallAndTwo) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc32(0, digits, 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(Crc32(0, digits, 4), digits + 4, 5), 0xCBF43926u);
  EXPECT_EQ(Crc32(0, nullptr, 0), 0u);
}

// Every length covers each remainder of the eight-byte passes, at every
// alignment of the buffer start.
TEST(Crc32, MatchesZlibForEveryLengthUpTo4096) {
  std::mt19937 rng(12345);
  const std::vector<uint8_t> data = RandomBytes(rng, 4096 + 8);
  for (std::size_t length = 0; length <= 4096; ++length) {
    const std::size_t offset = length % 8;
    ASSERT_EQ(Crc32(0, data.data() + offset, static_cast<uint32_t>(length)),
              ZlibCrc(0, data, offset, offset + length))
        << "length " << length;
  }
}

TEST(Crc32, ContinuesFromAPreviousResultAtAnySplit) {
  std::mt19937 rng(678);
  std::uniform_int_distribution<std::size_t> size(0, 20000);
  for (int round = 0; round < 500; ++round) {
    const std::vector<uint8_t> data = RandomBytes(rng, size(rng));
    const std::size_t split = std::uniform_int_distribution<std::size_t>(0, data.size())(rng);
    const uint32_t first = Crc32(0, data.data(), static_cast<uint32_t>(split));
    const uint32_t whole =
        Crc32(first, data.data() + split, static_cast<uint32_t>(data.size() - split));
    ASSERT_EQ(whole, ZlibCrc(0, data, 0, data.size())) << "size " << data.size();
    // The same continuation from a non-zero start of zlib's.
    const uint32_t seed = ZlibCrc(0, data, 0, split);
    ASSERT_EQ(Crc32(seed, data.data() + split, static_cast<uint32_t>(data.size() - split)),
              ZlibCrc(seed, data, split, data.size()));
  }
}

}  // namespace
