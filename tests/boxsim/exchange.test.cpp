// The box's side of whole downloads, driven by a scripted tool.
#include <gtest/gtest.h>

#include "tests/boxsim/scripted_tool.h"

namespace boxsim::testing {
namespace {

class FullExchange : public ::testing::TestWithParam<ContentType> {};

TEST_P(FullExchange, IsByteExactWithIntactFramesAndEndMarker) {
  BoxOptions options;
  options.baud = 0;
  options.replyDelay = 0ms;
  BoxSimulator box(options);
  ScriptedTool tool(box.SlavePath());
  ASSERT_TRUE(tool.Open());
  const ContentType type = GetParam();
  const Bytes expected = box.ExpectedFile(type);

  const auto header = tool.Begin(type);
  ASSERT_TRUE(header);
  ASSERT_TRUE(std::equal(header->begin(), header->end(), expected.begin()));
  EXPECT_EQ(ResponseTotalLength(*header), expected.size() - kHeaderSize);
  EXPECT_TRUE(ResponseHeaderAccepted(*header));

  Bytes content;
  while (true) {
    const ScriptedTool::Packet packet = tool.ReadPacket();
    if (packet.length == END_MARKER) break;
    ASSERT_GE(packet.length, kMinPacketLength);
    // The whole frame fits the tool's receive buffer.
    ASSERT_LE(packet.length + kWordSize, kMaxPacketLength);
    ASSERT_EQ(packet.body.size(), packet.length);
    ASSERT_TRUE(PacketIntact(packet.body));
    content.insert(content.end(), packet.body.begin(), packet.body.end() - kWordSize);
    tool.SendWord(PACKET_OK);
  }
  EXPECT_EQ(tool.ReadWord(), Crc(content));  // the final word
  EXPECT_EQ(FileBytes(*header, content), expected);

  ASSERT_TRUE(box.WaitDone(10s));
  const auto sessions = box.Sessions();
  ASSERT_EQ(sessions.size(), 1u);
  EXPECT_EQ(sessions[0].outcome, Outcome::kCompleted);
  EXPECT_EQ(sessions[0].type, type);
  EXPECT_EQ(sessions[0].delivered, expected);

  const auto requests = box.Log().Events(EventKind::kRequest);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].value, Describe(type).typeByte);
  const auto headers = box.Log().Events(EventKind::kRequestHeader);
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_TRUE(headers[0].ok) << headers[0].text;
}

INSTANTIATE_TEST_SUITE_P(AllTypes, FullExchange,
                         ::testing::Values(ContentType::ctChannels, ContentType::ctLogo,
                                           ContentType::ctData, ContentType::ctNetConfig),
                         [](const auto& info) {
                           return std::string(Describe(info.param).defaultExtension.substr(1));
                         });

TEST(Repeat, ResendsTheSamePacketUntilItIsIntact) {
  BoxOptions options = QuickOptions(1000, 300);
  options.faults = {*Fault::Parse("corrupt=1:2")};
  BoxSimulator box(options);
  ScriptedTool tool(box.SlavePath());
  ASSERT_TRUE(tool.Begin(ContentType::ctData));

  std::vector<Bytes> sends;
  for (int i = 0; i < 6; ++i) {
    const ScriptedTool::Packet packet = tool.ReadPacket();
    ASSERT_NE(packet.length, END_MARKER);
    sends.push_back(packet.body);
    tool.SendWord(PacketIntact(packet.body) ? PACKET_OK : PACKET_REPEAT);
  }
  // Packet 1 went out three times: twice damaged, then intact, same length.
  EXPECT_TRUE(PacketIntact(sends[0]));
  EXPECT_FALSE(PacketIntact(sends[1]));
  EXPECT_FALSE(PacketIntact(sends[2]));
  EXPECT_TRUE(PacketIntact(sends[3]));
  EXPECT_EQ(sends[1].size(), sends[3].size());
  // Only the payload is damaged; the CRC field is the true one.
  EXPECT_TRUE(std::equal(sends[1].end() - 4, sends[1].end(), sends[3].end() - 4));
  EXPECT_EQ(tool.ReadPacket().length, END_MARKER);
  ASSERT_TRUE(box.WaitDone(10s));
  EXPECT_EQ(box.Sessions()[0].delivered, box.ExpectedFile(ContentType::ctData));

  std::vector<int> attempts;
  for (const Event& e : box.Log().Events(EventKind::kPacket)) {
    if (e.packet == 1) attempts.push_back(e.attempt);
  }
  EXPECT_EQ(attempts, (std::vector<int>{1, 2, 3}));
}

TEST(Repeat, TransferAbortSkipsToTheNextPacket) {
  BoxOptions options = QuickOptions(900, 300);
  options.faults = {*Fault::Parse("corrupt=1:3")};
  BoxSimulator box(options);
  ScriptedTool tool(box.SlavePath());
  const auto header = tool.Begin(ContentType::ctChannels);
  ASSERT_TRUE(header);

  Bytes content;
  int failures = 0;
  while (true) {
    const ScriptedTool::Packet packet = tool.ReadPacket();
    if (packet.length == END_MARKER) break;
    if (PacketIntact(packet.body)) {
      failures = 0;
      content.insert(content.end(), packet.body.begin(), packet.body.end() - 4);
      tool.SendWord(PACKET_OK);
    } else {
      tool.SendWord(PACKET_REPEAT);
      if (++failures == 3) tool.SendWord(TRANSFER_ABORT);
    }
  }
  const Bytes& full = options.content[ContentType::ctChannels];
  Bytes withoutPacket1(full.begin(), full.begin() + 300);
  withoutPacket1.insert(withoutPacket1.end(), full.begin() + 600, full.end());
  EXPECT_EQ(content, withoutPacket1);
  ASSERT_TRUE(box.WaitDone(10s));
  EXPECT_EQ(box.Sessions()[0].delivered, FileBytes(*header, withoutPacket1));
}

struct RequestCase {
  const char* name;
  uint8_t typeByte;
  std::optional<ContentType> headerType;  // whose code the request header carries
  bool badMagic;
  uint32_t requestReply;
  uint32_t headerReply;  // 0: no header sent
};

class RequestChecks : public ::testing::TestWithParam<RequestCase> {};

TEST_P(RequestChecks, AreRecordedAndAnswered) {
  const RequestCase& c = GetParam();
  BoxSimulator box(QuickOptions());
  ScriptedTool tool(box.SlavePath());
  ASSERT_EQ(tool.Read(3), Bytes(kGreeting.begin(), kGreeting.end()));
  tool.SendWord(UP_REQUEST | c.typeByte);
  EXPECT_EQ(tool.ReadWord(), c.requestReply);
  if (c.headerReply != 0) {
    RequestHeader request;
    HeaderBlock block = request.Apply(c.headerType);
    if (c.badMagic) block[4] = 'X';
    tool.SendRequestHeader(block);
    EXPECT_EQ(tool.ReadWord(), c.headerReply);
  }
  if (c.headerReply == HEADER_ACCEPTED) box.Stop();  // it would go on sending packets
  ASSERT_TRUE(box.WaitDone(10s));

  const auto requests = box.Log().Events(EventKind::kRequest);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].value, c.typeByte);
  EXPECT_EQ(requests[0].ok, c.requestReply == UP_ACCEPTED);
  const auto headers = box.Log().Events(EventKind::kRequestHeader);
  ASSERT_EQ(headers.size(), c.headerReply != 0 ? 1u : 0u);
  if (!headers.empty()) {
    EXPECT_EQ(headers[0].ok, c.headerReply == HEADER_ACCEPTED);
  }
  if (c.headerReply != HEADER_ACCEPTED) {
    EXPECT_EQ(box.Sessions()[0].outcome, Outcome::kRefused);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, RequestChecks,
    ::testing::Values(
        RequestCase{"NoTypeChosen", 0x00, std::nullopt, false, kRequestRefused, 0},
        RequestCase{"UnknownType", 0x05, std::nullopt, false, kRequestRefused, 0},
        RequestCase{"WrongMagic", 0x02, ContentType::ctChannels, true, UP_ACCEPTED, kHeaderRefused},
        RequestCase{"WrongCode", 0x02, ContentType::ctData, false, UP_ACCEPTED, kHeaderRefused},
        RequestCase{"NoCodeForChannels", 0x02, std::nullopt, false, UP_ACCEPTED, kHeaderRefused},
        RequestCase{"LogoTakesAnyCode", 0x08, ContentType::ctNetConfig, false, UP_ACCEPTED,
                    HEADER_ACCEPTED}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Serving, DownloadsOneAfterAnotherAndANewRequestRestarts) {
  BoxOptions options = QuickOptions(700, 300);
  options.once = false;
  options.greetingInterval = 0ms;
  BoxSimulator box(options);
  ScriptedTool tool(box.SlavePath());

  // First download abandoned after one packet: the tool starts again.
  ASSERT_TRUE(tool.Begin(ContentType::ctLogo));
  ASSERT_NE(tool.ReadPacket().length, END_MARKER);
  tool.SendWord(UpRequestWord(ContentType::ctNetConfig));
  ASSERT_TRUE(box.WaitSessions(1, 10s));
  EXPECT_EQ(box.Sessions()[0].outcome, Outcome::kInterrupted);

  // The next download serves that request: greeting first, then the answer.
  EXPECT_EQ(tool.Read(3), Bytes(kGreeting.begin(), kGreeting.end()));
  EXPECT_EQ(tool.ReadWord(), UP_ACCEPTED);
  RequestHeader request;
  tool.SendRequestHeader(request.Apply(ContentType::ctNetConfig));
  EXPECT_EQ(tool.ReadWord(), HEADER_ACCEPTED);
  const Bytes header = tool.Read(kHeaderSize);
  const Bytes content = tool.ReceiveAll();
  EXPECT_EQ(tool.Read(4).size(), 4u);  // final word
  ASSERT_TRUE(box.WaitSessions(2, 10s));
  EXPECT_EQ(box.Sessions()[1].outcome, Outcome::kCompleted);
  EXPECT_EQ(box.Sessions()[1].type, ContentType::ctNetConfig);
  ResponseHeader block{};
  std::copy(header.begin(), header.end(), block.begin());
  EXPECT_EQ(FileBytes(block, content), box.ExpectedFile(ContentType::ctNetConfig));

  // And a third one right after.
  ASSERT_TRUE(tool.Begin(ContentType::ctData));
  EXPECT_EQ(tool.ReceiveAll(), options.content[ContentType::ctData]);
  box.Stop();
  EXPECT_TRUE(box.WaitDone(1s));
}

TEST(Serving, GivesUpOnASilentTool) {
  BoxOptions options = QuickOptions();
  options.replyTimeout = 300ms;
  BoxSimulator box(options);
  ScriptedTool tool(box.SlavePath());
  ASSERT_TRUE(tool.Begin(ContentType::ctData));
  ASSERT_TRUE(box.WaitDone(10s));
  EXPECT_EQ(box.Sessions()[0].outcome, Outcome::kTimedOut);
  EXPECT_EQ(box.Log().Events(EventKind::kTimeout).size(), 1u);
}

TEST(Serving, RepeatsTheGreetingUntilTheRequestComes) {
  BoxOptions options = QuickOptions();
  options.greetingInterval = 50ms;
  BoxSimulator box(options);
  ScriptedTool tool(box.SlavePath());
  const Bytes greetings = tool.Read(9);
  EXPECT_EQ(greetings, (Bytes{0x4B, 0x47, 0x53, 0x4B, 0x47, 0x53, 0x4B, 0x47, 0x53}));
  tool.SendWord(UpRequestWord(ContentType::ctData));
  // Nothing but the answer follows.
  EXPECT_EQ(tool.ReadWord(), UP_ACCEPTED);
  EXPECT_TRUE(tool.Quiet(200ms));
}

TEST(Simulator, StopsPromptlyWhileWaitingAndOnAGivenMaster) {
  PtyPair pty = OpenPty();
  const auto start = std::chrono::steady_clock::now();
  {
    BoxSimulator box(std::move(pty.master), QuickOptions());
    EXPECT_TRUE(box.SlavePath().empty());
    ScriptedTool tool(pty.slavePath);
    EXPECT_EQ(tool.Read(3), Bytes(kGreeting.begin(), kGreeting.end()));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

}  // namespace
}  // namespace boxsim::testing
