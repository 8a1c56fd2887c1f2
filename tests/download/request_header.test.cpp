#include "download/request_header.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The block with `code` at offset 32, written out byte by byte.
HeaderBlock Expected(std::string_view code) {
  HeaderBlock block{};
  const std::string text = "TAVRA_V_ZT100";
  std::copy(text.begin(), text.end(), block.begin());
  std::copy(code.begin(), code.end(), block.begin() + 32);
  const uint8_t tail[] = {0xB2, 0x00, 0x01, 0x00, 0x01, 0x00, '2',  '7',
                          '0',  '3',  '0',  '7',  0x44, 0x33, 0x22, 0x11};
  std::copy(std::begin(tail), std::end(tail), block.begin() + 48);
  return block;
}

TEST(RequestHeader, StartsWithZeroCode) {
  RequestHeader header;
  EXPECT_EQ(header.Bytes(), Expected(std::string_view("\0\0\0", 3)));
  EXPECT_EQ(header.Apply(std::nullopt), header.Bytes());
  EXPECT_EQ(header.Apply(ContentType::ctLogo), Expected(std::string_view("\0\0\0", 3)));
}

TEST(RequestHeader, EachTypeWritesItsCode) {
  RequestHeader header;
  EXPECT_EQ(header.Apply(ContentType::ctChannels), Expected("SER"));
  EXPECT_EQ(header.Apply(ContentType::ctData), Expected("DAT"));
  EXPECT_EQ(header.Apply(ContentType::ctNetConfig), Expected("NCF"));
  EXPECT_EQ(header.Bytes(), Expected("NCF"));
}

// Logo and "none" write no code: the block keeps the last one written.
TEST(RequestHeader, LogoAndNoneKeepTheLastCode) {
  RequestHeader header;
  header.Apply(ContentType::ctData);
  EXPECT_EQ(header.Apply(ContentType::ctLogo), Expected("DAT"));
  EXPECT_EQ(header.Apply(std::nullopt), Expected("DAT"));
  header.Apply(ContentType::ctChannels);
  EXPECT_EQ(header.Apply(ContentType::ctLogo), Expected("SER"));
}

TEST(RequestHeader, ProcessWideBlockPersistsUntilReset) {
  RequestHeader& shared = RequestHeader::Instance();
  shared.Reset();
  shared.Apply(ContentType::ctNetConfig);
  EXPECT_EQ(RequestHeader::Instance().Apply(ContentType::ctLogo), Expected("NCF"));
  shared.Reset();
  EXPECT_EQ(RequestHeader::Instance().Bytes(), RequestHeader().Bytes());
}

}  // namespace
