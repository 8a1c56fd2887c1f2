#include "download/protocol.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "download/crc32.h"

namespace {

WordBytes W(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return {a, b, c, d};
}

TEST(Protocol, CommandWordsOnTheWire) {
  EXPECT_EQ(ToWire(UP_ACCEPTED), W(0xBA, 0x55, 0x70, 0x90));
  EXPECT_EQ(ToWire(HEADER_ACCEPTED), W(0xAB, 0x90, 0x00, 0xAB));
  EXPECT_EQ(ToWire(PACKET_OK), W(0xAB, 0x50, 0x43, 0x4B));
  EXPECT_EQ(ToWire(PACKET_REPEAT), W(0xAB, 0x4D, 0x4F, 0x52));
  EXPECT_EQ(ToWire(TRANSFER_ABORT), W(0xAB, 0x90, 0x09, 0xAB));
  EXPECT_EQ(ToWire(END_MARKER), W(0xAB, 0x45, 0x4E, 0x44));
  const WordBytes odd = W(0x80, 0x01, 0xFE, 0x7F);
  EXPECT_EQ(UnpackWord(odd.data()), 0x8001FE7Fu);
  EXPECT_EQ(ToWire(UnpackWord(odd.data())), odd);
}

TEST(Protocol, UpRequestCarriesTheTypeByte) {
  const struct {
    std::optional<ContentType> type;
    uint8_t last;
  } cases[] = {{ContentType::ctChannels, 0x02},
               {ContentType::ctLogo, 0x08},
               {ContentType::ctData, 0x01},
               {ContentType::ctNetConfig, 0x0A},
               {std::nullopt, 0x00}};
  for (const auto& c : cases) {
    EXPECT_EQ(ToWire(UpRequestWord(c.type)), W(0xAB, 0x55, 0x70, c.last));
  }
}

ResponseHeader HeaderStartingWith(std::string_view text, uint8_t fill = 0) {
  ResponseHeader header;
  header.fill(fill);
  std::copy(text.begin(), text.end(), header.begin());
  return header;
}

TEST(Protocol, ResponseHeaderAcceptance) {
  for (std::string_view good : {"TAVRA", "TAVRA_V_ZT100", "TAVRAxyz", "TAVO", "TAVOS", "MIRO"}) {
    EXPECT_TRUE(ResponseHeaderAccepted(HeaderStartingWith(good, 0xFF))) << good;
  }
  for (std::string_view bad :
       {"TAVR", "Tavo", "tavo", "TAvO", "TaVRA", "miro", "MIRo", " TAVO", "KGS", ""}) {
    EXPECT_FALSE(ResponseHeaderAccepted(HeaderStartingWith(bad))) << bad;
  }
}

TEST(Protocol, ResponseTotalLengthAtOffset16) {
  ResponseHeader header = HeaderStartingWith("TAVO", 0xEE);
  PackWord(header.data() + 16, 0x00001000);
  EXPECT_EQ(ResponseTotalLength(header), 4096u);
  PackWord(header.data() + 16, 0xFFFFFFFF);
  EXPECT_EQ(ResponseTotalLength(header), 0xFFFFFFFFu);
}

std::vector<uint8_t> Packet(std::vector<uint8_t> payload) {
  const uint32_t crc = Crc32(0, payload.data(), static_cast<uint32_t>(payload.size()));
  payload.resize(payload.size() + 4);
  PackWord(payload.data() + payload.size() - 4, crc);
  return payload;
}

TEST(Protocol, PacketCheck) {
  const std::vector<uint8_t> empty = Packet({});
  EXPECT_EQ(empty, std::vector<uint8_t>(4, 0));
  EXPECT_TRUE(PacketIntact(empty));

  const std::vector<uint8_t> digits = Packet({'1', '2', '3', '4', '5', '6', '7', '8', '9'});
  EXPECT_EQ(std::vector<uint8_t>(digits.end() - 4, digits.end()),
            std::vector<uint8_t>({0xCB, 0xF4, 0x39, 0x26}));
  EXPECT_TRUE(PacketIntact(digits));
  // A flipped bit anywhere, payload or CRC, fails the check.
  for (std::size_t i = 0; i < digits.size(); ++i) {
    std::vector<uint8_t> bad = digits;
    bad[i] ^= 0x10;
    EXPECT_FALSE(PacketIntact(bad)) << "byte " << i;
  }
  // Too short to hold a CRC: refused, never read past the end.
  EXPECT_FALSE(PacketIntact(std::vector<uint8_t>(3, 0)));
  EXPECT_FALSE(PacketIntact({}));
}

}  // namespace
