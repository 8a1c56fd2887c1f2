#include "tools/boxsim/content.h"

#include <gtest/gtest.h>

#include <set>

namespace boxsim {
namespace {

TEST(SampleContent, IsDeterministicDistinctAndOfRealisticSize) {
  std::set<Bytes> seen;
  for (const ContentTypeInfo& info : ContentTypes()) {
    SCOPED_TRACE(std::string(info.caption));
    const Bytes content = SampleContent(info.type);
    EXPECT_EQ(content, SampleContent(info.type));
    EXPECT_GE(content.size(), 10u * 1024);
    EXPECT_LE(content.size(), 64u * 1024);
    // Several packets at the largest payload, the last one partial.
    EXPECT_NE(content.size() % kMaxPayload, 0u);
    seen.insert(content);
  }
  EXPECT_EQ(seen.size(), 4u);
}

TEST(SampleContent, HasTheStructureOfItsKind) {
  const Bytes channels = SampleContent(ContentType::ctChannels);
  EXPECT_EQ(std::string(channels.begin(), channels.begin() + 4), "TCN1");
  const uint32_t count = ReadWord(std::span(channels).subspan(4));
  const uint32_t record = ReadWord(std::span(channels).subspan(8));
  EXPECT_EQ(channels.size(), 16 + count * record);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&channels[16 + 24])), "Nova News");

  const Bytes logo = SampleContent(ContentType::ctLogo);
  EXPECT_EQ(logo[0], 'B');
  EXPECT_EQ(logo[1], 'M');
  EXPECT_EQ(logo[2] | logo[3] << 8 | logo[4] << 16, static_cast<int>(logo.size()));

  const Bytes net = SampleContent(ContentType::ctNetConfig);
  EXPECT_NE(std::string(net.begin(), net.end()).find("[profile 01]\nname=Network 01\n"),
            std::string::npos);
}

TEST(ResponseHeaderBlock, CarriesMagicTotalAndTheRequestTail) {
  const Bytes content{1, 2, 3};
  for (HeaderMagic magic : {HeaderMagic::kTavra, HeaderMagic::kTavo, HeaderMagic::kMiro}) {
    const ResponseHeader header =
        BuildResponseHeader(ContentType::ctData, content, 0x00001000, MagicText(magic));
    EXPECT_TRUE(ResponseHeaderAccepted(header));
    EXPECT_EQ(ResponseTotalLength(header), 4096u);
    EXPECT_EQ(header[20], 0x01);  // type byte
    EXPECT_EQ(ReadWord(std::span(header).subspan(24)), Crc(content));
    EXPECT_EQ(std::string(header.begin() + 54, header.begin() + 60), "270307");
  }
  const ResponseHeader header =
      BuildResponseHeader(ContentType::ctLogo, content, 3, "TAVRA_V_ZT100");
  EXPECT_EQ(FileBytes(header, content).size(), 67u);
}

}  // namespace
}  // namespace boxsim
