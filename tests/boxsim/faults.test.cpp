// Each fault, as the bytes the tool sees on the line.
#include <gtest/gtest.h>

#include "tests/boxsim/scripted_tool.h"

namespace boxsim::testing {
namespace {

const Bytes kGreetingBytes(kGreeting.begin(), kGreeting.end());

BoxOptions WithFaults(std::initializer_list<const char*> faults, std::size_t size = 1000) {
  BoxOptions options = QuickOptions(size, 300);
  for (const char* text : faults) options.faults.push_back(*Fault::Parse(text));
  return options;
}

TEST(Faults, SilenceNeverAnswersButRecordsWhatArrives) {
  BoxSimulator box(WithFaults({"silence"}));
  ScriptedTool tool(box.SlavePath());
  EXPECT_TRUE(tool.Quiet(200ms));
  tool.SendWord(UpRequestWord(ContentType::ctData));
  EXPECT_TRUE(tool.Quiet(200ms));
  ASSERT_TRUE(box.Log().WaitFor([](const Event& e) { return e.kind == EventKind::kStray; },
                                std::chrono::steady_clock::now() + 10s));
  EXPECT_EQ(box.Log().Events(EventKind::kStray)[0].bytes, (Bytes{0xAB, 0x55, 0x70, 0x01}));
}

TEST(Faults, NoGreetingStillAnswersTheRequest) {
  BoxSimulator box(WithFaults({"no-greeting"}));
  ScriptedTool tool(box.SlavePath());
  EXPECT_TRUE(tool.Quiet(200ms));
  tool.SendWord(UpRequestWord(ContentType::ctData));
  EXPECT_EQ(tool.ReadWord(), UP_ACCEPTED);
}

TEST(Faults, JunkComesBeforeTheGreetingAndHoldsNo4B) {
  BoxSimulator box(WithFaults({"junk=40"}));
  ScriptedTool tool(box.SlavePath());
  const Bytes bytes = tool.Read(43);
  ASSERT_EQ(bytes.size(), 43u);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0xFF);
  EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + 40, 0x4B), 0);
  EXPECT_EQ(Bytes(bytes.begin() + 40, bytes.end()), kGreetingBytes);
}

struct OpeningCase {
  const char* fault;
  Bytes greeting;
  uint32_t requestReply;
  uint32_t headerReply;  // 0: not reached
  const char* magic;     // response header start; null: not reached
};

class Opening : public ::testing::TestWithParam<OpeningCase> {};

TEST_P(Opening, FaultsShowOnTheWire) {
  const OpeningCase& c = GetParam();
  BoxSimulator box(WithFaults({c.fault}));
  ScriptedTool tool(box.SlavePath());
  EXPECT_EQ(tool.Read(3), c.greeting);
  tool.SendWord(UpRequestWord(ContentType::ctChannels));
  EXPECT_EQ(tool.ReadWord(), c.requestReply);
  if (c.headerReply != 0) {
    RequestHeader request;
    tool.SendRequestHeader(request.Apply(ContentType::ctChannels));
    EXPECT_EQ(tool.ReadWord(), c.headerReply);
  }
  if (c.magic) {
    const Bytes header = tool.Read(kHeaderSize);
    ASSERT_EQ(header.size(), kHeaderSize);
    EXPECT_EQ(std::string(header.begin(), header.begin() + 13), c.magic);
    ResponseHeader block{};
    std::copy(header.begin(), header.end(), block.begin());
    EXPECT_FALSE(ResponseHeaderAccepted(block));
  }
  ASSERT_TRUE(box.WaitDone(10s));
  EXPECT_EQ(box.Sessions()[0].outcome, Outcome::kRefused);
  EXPECT_TRUE(tool.Quiet(100ms));
}

INSTANTIATE_TEST_SUITE_P(Table, Opening,
                         ::testing::Values(OpeningCase{"refuse-request", kGreetingBytes,
                                                       kRequestRefused, 0, nullptr},
                                           OpeningCase{"refuse-header", kGreetingBytes, UP_ACCEPTED,
                                                       kHeaderRefused, nullptr},
                                           OpeningCase{"bad-header", kGreetingBytes, UP_ACCEPTED,
                                                       HEADER_ACCEPTED, "tavra_v_zt100"}),
                         [](const auto& info) {
                           std::string name = info.param.fault;
                           std::erase(name, '-');
                           return name;
                         });

TEST(Faults, BadGreeting) {
  BoxSimulator box(WithFaults({"bad-greeting"}));
  ScriptedTool tool(box.SlavePath());
  EXPECT_EQ(tool.Read(3), (Bytes{0x4B, 0x47, 0x58}));
}

class BadLength : public ::testing::TestWithParam<uint32_t> {};

TEST_P(BadLength, IsFollowedByTheTrueBodyThenAProperResend) {
  BoxSimulator box(WithFaults({("bad-length=0:" + std::to_string(GetParam())).c_str()}));
  ScriptedTool tool(box.SlavePath());
  ASSERT_TRUE(tool.Begin(ContentType::ctData));
  EXPECT_EQ(tool.ReadWord(), GetParam());
  const Bytes body = tool.Read(304);
  EXPECT_TRUE(PacketIntact(body));
  EXPECT_TRUE(tool.Quiet(100ms));
  tool.SendWord(PACKET_REPEAT);
  const ScriptedTool::Packet resent = tool.ReadPacket();
  EXPECT_EQ(resent.length, 304u);
  EXPECT_EQ(resent.body, body);
}

INSTANTIATE_TEST_SUITE_P(Values, BadLength, ::testing::Values(0u, 3u, 8193u, 0xFFFFFFF0u));

TEST(Faults, AnnouncedTotals) {
  const struct {
    const char* fault;
    uint32_t announced;
  } cases[] = {{"overrun=100", 900}, {"huge-total", 0xFFFFFFFFu}, {"empty", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    BoxSimulator box(WithFaults({c.fault}));
    ScriptedTool tool(box.SlavePath());
    const auto header = tool.Begin(ContentType::ctLogo);
    ASSERT_TRUE(header);
    EXPECT_EQ(ResponseTotalLength(*header), c.announced);
    // All the content goes out whatever was announced; none with "empty".
    const Bytes content = tool.ReceiveAll();
    EXPECT_EQ(content.size(), c.announced == 0 ? 0u : 1000u);
    EXPECT_EQ(tool.Read(4).size(), 4u);
    ASSERT_TRUE(box.WaitDone(10s));
    EXPECT_EQ(box.Sessions()[0].outcome, Outcome::kCompleted);
  }
}

TEST(Faults, CutPacketGoesSilentUntilAskedAgain) {
  BoxSimulator box(WithFaults({"cut=1:10"}));
  ScriptedTool tool(box.SlavePath());
  ASSERT_TRUE(tool.Begin(ContentType::ctData));
  ASSERT_TRUE(PacketIntact(tool.ReadPacket().body));
  tool.SendWord(PACKET_OK);
  const Bytes part = tool.Read(304 + 4, 300ms);
  EXPECT_EQ(part.size(), 10u);
  tool.SendWord(PACKET_REPEAT);
  const ScriptedTool::Packet resent = tool.ReadPacket();
  EXPECT_EQ(resent.length, 304u);
  EXPECT_TRUE(PacketIntact(resent.body));
  EXPECT_TRUE(std::equal(part.begin() + 4, part.end(), resent.body.begin()));
}

TEST(Faults, DribbleSendsByteByByte) {
  BoxOptions options = WithFaults({"dribble=5"}, 20);
  BoxSimulator box(options);
  ScriptedTool tool(box.SlavePath());
  ASSERT_TRUE(tool.Begin(ContentType::ctData));
  const auto start = std::chrono::steady_clock::now();
  const ScriptedTool::Packet packet = tool.ReadPacket();  // 28 bytes
  EXPECT_TRUE(PacketIntact(packet.body));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 28 * 5ms * 8 / 10);
}

TEST(Faults, HangUpAfterAPacketClosesTheLine) {
  BoxSimulator box(WithFaults({"hangup=1"}));
  ScriptedTool tool(box.SlavePath());
  ASSERT_TRUE(tool.Begin(ContentType::ctData));
  ASSERT_TRUE(PacketIntact(tool.ReadPacket().body));
  tool.SendWord(PACKET_OK);
  ASSERT_TRUE(PacketIntact(tool.ReadPacket().body));
  tool.Read(1, 5s);
  EXPECT_TRUE(tool.HungUp());
  ASSERT_TRUE(box.WaitDone(10s));
  EXPECT_EQ(box.Sessions()[0].outcome, Outcome::kHungUp);
}

}  // namespace
}  // namespace boxsim::testing
