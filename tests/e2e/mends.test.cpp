// Lines and boxes that the plain protocol handles badly: bytes that trickle
// in, packets cut short or with impossible length fields, more content than
// announced, huge announcements, and the request word racing the flush.
#include "tests/e2e/e2e.h"

namespace e2e {
namespace {

using boxsim::EventKind;

TEST_F(E2ETest, DribbledBytesMakeWholeBlocks) {
  StartBox(WithFaults({"dribble=2"}, QuickBox(600, 300)));
  Download(ContentType::ctChannels);
  EXPECT_EQ(view->LinesSeen(), Concat({{kStart, kInit}, OkLines(0, 1), {kEnd, kDone}}));
  EXPECT_EQ(ReadFile(Out() / "file.tcn"), box->ExpectedFile(ContentType::ctChannels));
}

// A packet that stops arriving, or whose length field no packet can have, is
// damaged: the box is asked for it again and the download completes.
struct Broken {
  const char* name;
  const char* fault;
};

class BrokenPacketTest : public E2ETest, public ::testing::WithParamInterface<Broken> {};

TEST_P(BrokenPacketTest, RecoversWhenTheBoxResends) {
  StartBox(WithFaults({GetParam().fault}));
  Download(ContentType::ctChannels);
  EXPECT_EQ(
      view->LinesSeen(),
      Concat(
          {{kStart, kInit}, OkLines(0, 0), {PacketLine(1, false)}, OkLines(1, 3), {kEnd, kDone}}));
  EXPECT_EQ(ReadFile(Out() / "file.tcn"), box->ExpectedFile(ContentType::ctChannels));
  const auto answers = Events(EventKind::kReply);
  ASSERT_EQ(answers.size(), 5u);
  EXPECT_EQ(answers[1].value, PACKET_REPEAT);
}

INSTANTIATE_TEST_SUITE_P(Packet, BrokenPacketTest,
                         ::testing::Values(Broken{"CutShort", "cut=1:100"},
                                           Broken{"CutInItsLengthField", "cut=1:2"},
                                           Broken{"LengthZero", "bad-length=1:0"},
                                           Broken{"LengthThree", "bad-length=1:3"},
                                           Broken{"LengthAboveTheMost", "bad-length=1:8193"},
                                           Broken{"LengthHuge", "bad-length=1:0xFFFFFFF0"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(E2ETest, PayloadBeyondTheAnnouncedTotalIsKept) {
  StartBox(WithFaults({"overrun=100"}));
  Download(ContentType::ctChannels);
  const Bytes file = ReadFile(Out() / "file.tcn");
  EXPECT_EQ(file.size(), 64u + 1000u);
  EXPECT_EQ(file, box->Sessions().at(0).delivered);
  EXPECT_EQ(view->Max(), 900);
  EXPECT_EQ(view->Peak(), 1000);  // the progress bar reads above 100 %
}

TEST_F(E2ETest, HugeAnnouncementIsNotReservedUpFront) {
  StartBox(WithFaults({"huge-total"}));
  Download(ContentType::ctChannels);
  EXPECT_EQ(view->Max(), 0xFFFFFFFFll);
  const Bytes file = ReadFile(Out() / "file.tcn");
  EXPECT_EQ(file, box->Sessions().at(0).delivered);
  EXPECT_EQ(file.size(), 64u + 1000u);
}

// The flush after the request word must never discard it: every one of many
// downloads in a row reaches the box.
TEST_F(E2ETest, TheRequestWordSurvivesTheFlushEveryTime) {
  auto options = QuickBox(100, 100);
  options.once = false;
  options.greetingInterval = 100ms;  // each run flushes the greeting already waiting
  StartBox(options);
  constexpr std::size_t kRuns = 20;
  for (std::size_t i = 0; i < kRuns; ++i) {
    SCOPED_TRACE(i);
    Download(ContentType::ctChannels);
    ASSERT_EQ(view->LinesSeen(), Concat({{kStart, kInit}, OkLines(0, 0), {kEnd, kDone}}));
  }
  ASSERT_TRUE(box->WaitSessions(kRuns, 10s));
  EXPECT_EQ(Events(EventKind::kRequest).size(), kRuns);
  for (const auto& s : box->Sessions()) EXPECT_EQ(s.outcome, boxsim::Outcome::kCompleted);
}

}  // namespace
}  // namespace e2e
