// Whole downloads against the simulated box: the files written, the bytes
// the box received, and the log of runs that go right.
#include "tests/e2e/e2e.h"

namespace e2e {
namespace {

using boxsim::EventKind;

Bytes Word(uint32_t w) {
  const auto b = ToWire(w);
  return Bytes(b.begin(), b.end());
}

TEST_F(E2ETest, EachTypeGivesTheFileAndTheBoxSeesItsRequest) {
  auto options = QuickBox(1000, 300);
  options.once = false;
  StartBox(options);
  RequestHeader expectedHeader;  // follows the process-wide block
  std::size_t session = 0;
  for (const ContentTypeInfo& info : ContentTypes()) {
    SCOPED_TRACE(info.caption);
    Download(info.type);
    ASSERT_TRUE(box->WaitSessions(++session, 10s));
    const fs::path written = Out() / ("file" + std::string(info.defaultExtension));
    EXPECT_EQ(ReadFile(written), box->ExpectedFile(info.type));
    EXPECT_EQ(view->LinesSeen(), Concat({{kStart, kInit}, OkLines(0, 3), {kEnd, kDone}}));
    EXPECT_TRUE(view->Boxes().empty());
    EXPECT_EQ(view->Max(), 1000);
    EXPECT_EQ(view->Peak(), 1000);
    EXPECT_EQ(view->Position(), 0);  // set back after saving

    const auto requests = Events(EventKind::kRequest);
    const auto headers = Events(EventKind::kRequestHeader);
    ASSERT_EQ(requests.size(), session);
    ASSERT_EQ(headers.size(), session);
    EXPECT_EQ(requests.back().bytes, Bytes({0xAB, 0x55, 0x70, info.typeByte}));
    const HeaderBlock sent = expectedHeader.Apply(info.type);
    EXPECT_EQ(headers.back().bytes, Bytes(sent.begin(), sent.end()));
    EXPECT_TRUE(headers.back().ok) << headers.back().text;
  }
}

TEST_F(E2ETest, TheToolSendsExactlyTheProtocolsWords) {
  StartBox(QuickBox(1000, 300));
  Download(ContentType::ctData);
  std::vector<Bytes> seen;
  for (const auto& e : Received()) seen.push_back(e.bytes);
  const HeaderBlock header = RequestHeader().Apply(ContentType::ctData);
  const std::vector<Bytes> expected{{0xAB, 0x55, 0x70, Describe(ContentType::ctData).typeByte},
                                    Bytes(header.begin(), header.end()),
                                    Word(PACKET_OK),
                                    Word(PACKET_OK),
                                    Word(PACKET_OK),
                                    Word(PACKET_OK)};
  EXPECT_EQ(seen, expected);
}

TEST_F(E2ETest, LogoAfterChannelsCarriesTheChannelsCode) {
  auto options = QuickBox();
  options.once = false;
  StartBox(options);
  Download(ContentType::ctLogo);
  Download(ContentType::ctChannels);
  Download(ContentType::ctLogo);
  const auto headers = Events(EventKind::kRequestHeader);
  ASSERT_EQ(headers.size(), 3u);
  auto code = [](const boxsim::Event& e) {
    return std::string(e.bytes.begin() + kCodeOffset, e.bytes.begin() + kCodeOffset + 3);
  };
  EXPECT_EQ(code(headers[0]), std::string(3, '\0'));
  EXPECT_EQ(code(headers[1]), "SER");
  EXPECT_EQ(code(headers[2]), "SER");
  EXPECT_EQ(ReadFile(Out() / "file.logo"), box->ExpectedFile(ContentType::ctLogo));
}

TEST_F(E2ETest, StrayBytesBeforeTheGreetingAreSkipped) {
  StartBox(WithFaults({"junk=2"}));
  Download(ContentType::ctChannels);
  const auto junk = Events(EventKind::kJunk);
  ASSERT_EQ(junk.size(), 1u);
  EXPECT_EQ(junk[0].bytes, Bytes({0x00, 0xFF}));
  EXPECT_EQ(view->LinesSeen(), Concat({{kStart, kInit}, OkLines(0, 3), {kEnd, kDone}}));
  EXPECT_EQ(ReadFile(Out() / "file.tcn"), box->ExpectedFile(ContentType::ctChannels));
}

TEST_F(E2ETest, EmptyContentGivesTheHeaderAlone) {
  StartBox(WithFaults({"empty"}));
  Download(ContentType::ctNetConfig);
  EXPECT_EQ(view->LinesSeen(), Lines({kStart, kInit, kEnd, kDone}));
  const Bytes file = ReadFile(Out() / "file.ncf");
  EXPECT_EQ(file.size(), 64u);
  EXPECT_EQ(file, box->Sessions().at(0).delivered);
  EXPECT_EQ(view->Position(), 0);
}

TEST_F(E2ETest, ThePacketAfterAThousandIsNumberedAThousand) {
  StartBox(QuickBox(1001, 1));
  TTaskTimings timings = FastTimings();
  timings.BeforePacket = timings.BeforePacketOk = 0ms;
  Download(ContentType::ctChannels, timings);
  const Lines lines = view->LinesSeen();
  ASSERT_EQ(lines.size(), 1001u + 4u);
  EXPECT_EQ(lines[2], "Data packet  000  ........... OK");
  EXPECT_EQ(lines[1001], "Data packet  999  ........... OK");
  EXPECT_EQ(lines[1002], "Data packet  1000  ........... OK");
  EXPECT_EQ(ReadFile(Out() / "file.tcn"), box->ExpectedFile(ContentType::ctChannels));
}

// The programs' pauses and limits, at the line's real pace: the one slow run.
TEST_F(E2ETest, FullSpeedDownloadWithTheRealPauses) {
  boxsim::BoxOptions options;  // sample channel list, 115200 baud, largest packets
  StartBox(options);
  const auto start = std::chrono::steady_clock::now();
  Download(ContentType::ctChannels, TTaskTimings{});
  const auto took = std::chrono::steady_clock::now() - start;
  const Bytes expected = box->ExpectedFile(ContentType::ctChannels);
  EXPECT_EQ(expected.size(), 32720u);
  EXPECT_EQ(ReadFile(Out() / "file.tcn"), expected);
  EXPECT_EQ(view->LinesSeen(), Concat({{kStart, kInit}, OkLines(0, 3), {kEnd, kDone}}));
  // 550 + 520 ms, then 750 + 320 ms for each of the four packets.
  EXPECT_GE(took, 550ms + 520ms + 4 * (750ms + 320ms));
}

}  // namespace
}  // namespace e2e
