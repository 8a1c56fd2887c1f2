// A box that misbehaves: the run's log lines, message boxes and what the
// tool still sends, row by row of what can go wrong.
#include "tests/e2e/e2e.h"

namespace e2e {
namespace {

using boxsim::EventKind;

Bytes Word(uint32_t w) {
  const auto b = ToWire(w);
  return Bytes(b.begin(), b.end());
}

// Runs that end before any packet: what the log and the boxes show, and how
// many blocks the box received (the request word, the request header).
struct Abort {
  const char* name;
  std::vector<const char*> faults;
  Lines lines;
  std::vector<TBox> boxes;
  std::size_t blocksToBox;
};

const std::vector<TBox> kBadResponse{
    {"Bad STB response! Aborting ...", "Error", TMsgButtons::mbOK}};
const std::vector<TBox> kRejected{
    {"STB rejected request! Aborting ...", "Error", TMsgButtons::mbOK}};

class AbortTest : public E2ETest, public ::testing::WithParamInterface<Abort> {};

TEST_P(AbortTest, EndsWithItsLinesAndBoxesOnly) {
  const Abort& c = GetParam();
  auto options = QuickBox();
  for (const char* f : c.faults) options = WithFaults({f}, options);
  StartBox(options);
  Download(ContentType::ctChannels);
  EXPECT_EQ(view->LinesSeen(), c.lines);
  EXPECT_EQ(view->Boxes(), c.boxes);
  EXPECT_EQ(view->SaveDialogs(), 0);
  // Whatever the box does next, the tool has fallen silent. A box refused
  // ends its session; one that never got a request is stopped.
  if (c.blocksToBox > 0) {
    ASSERT_TRUE(box->WaitDone(15s));
  } else {
    ClosePort();
    box->Stop();
  }
  EXPECT_EQ(Received().size(), c.blocksToBox);
}

INSTANTIATE_TEST_SUITE_P(
    Row, AbortTest,
    ::testing::Values(Abort{"NoGreetingWithinLevel2",
                            {"no-greeting", "junk=40"},
                            {kStart, "Level 2: Timeout!!!", kDone},
                            {},
                            0},
                      Abort{"GreetingNotFollowedByGS", {"bad-greeting"}, {kStart, kDone}, {}, 0},
                      Abort{"RequestRefused",
                            {"refuse-request"},
                            {kStart, kInit, "Bad STB response! Aborting...", kDone},
                            kBadResponse,
                            1},
                      Abort{"HeaderRefused",
                            {"refuse-header"},
                            {kStart, kInit, "STB rejected request! Aborting...", kDone},
                            kRejected,
                            2},
                      Abort{"ResponseHeaderNotAccepted",
                            {"bad-header"},
                            {kStart, kInit, "STB rejected request! Aborting...", kDone},
                            kRejected,
                            2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(E2ETest, Level1TimeoutStillSendsTheRequest) {
  StartBox(WithFaults({"no-greeting"}));
  Download(ContentType::ctChannels);
  EXPECT_EQ(view->LinesSeen(),
            Concat({{kStart, "Level 1: Timeout!!!", kInit}, OkLines(0, 3), {kEnd, kDone}}));
  EXPECT_EQ(ReadFile(Out() / "file.tcn"), box->ExpectedFile(ContentType::ctChannels));
}

TEST_F(E2ETest, SilentBoxLeavesTheTaskWaitingForTheReplyUntilStopped) {
  StartBox(WithFaults({"silence"}));
  StartTask();
  Go();
  ASSERT_TRUE(view->WaitLine(kInit));
  // The request reached the box; the task now waits without a limit.
  ASSERT_TRUE(box->Log().WaitFor([](const auto& e) { return e.bytes.size() == 4; },
                                 std::chrono::steady_clock::now() + 10s));
  EXPECT_FALSE(view->WaitDone(1500ms));
  task->RequestStop();
  Finish();
  EXPECT_EQ(view->LinesSeen(), Lines({kStart, "Level 1: Timeout!!!", kInit, kDone}));
  EXPECT_TRUE(view->Boxes().empty());
}

// The real limit: 10 to 11 seconds of silence, and the same lines.
TEST_F(E2ETest, Level1TimeoutWithTheRealLimit) {
  StartBox(WithFaults({"silence"}));
  TTaskTimings timings = FastTimings();
  timings.Level1Limit = TTaskTimings{}.Level1Limit;
  StartTask(timings);
  const auto start = std::chrono::steady_clock::now();
  Go();
  ASSERT_TRUE(view->WaitLine(kInit, 20s));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 10s);
  EXPECT_LT(waited, 13s);  // 11 s at most, with room for a loaded machine
  task->RequestStop();
  Finish();
  EXPECT_EQ(view->LinesSeen(), Lines({kStart, "Level 1: Timeout!!!", kInit, kDone}));
}

TEST_F(E2ETest, PacketFailingTwiceIsTakenOnItsThirdSend) {
  StartBox(WithFaults({"corrupt=1:2"}));
  Download(ContentType::ctChannels);
  const std::string bad = PacketLine(1, false);
  EXPECT_EQ(view->LinesSeen(),
            Concat({{kStart, kInit}, OkLines(0, 0), {bad, bad}, OkLines(1, 3), {kEnd, kDone}}));
  EXPECT_EQ(ReadFile(Out() / "file.tcn"), box->ExpectedFile(ContentType::ctChannels));
  std::vector<Bytes> answers;
  for (const auto& e : Events(EventKind::kReply)) answers.push_back(e.bytes);
  EXPECT_EQ(answers, std::vector<Bytes>({Word(PACKET_OK), Word(PACKET_REPEAT), Word(PACKET_REPEAT),
                                         Word(PACKET_OK), Word(PACKET_OK), Word(PACKET_OK)}));
}

// Three failures abandon the packet; the next length field (or END_MARKER)
// carries on.
class AbandonTest : public E2ETest, public ::testing::WithParamInterface<int> {};

TEST_P(AbandonTest, ThirdFailureGivesUpOnThePacket) {
  const int k = GetParam();
  const std::string fault = "corrupt=" + std::to_string(k) + ":3";
  StartBox(WithFaults({fault.c_str()}));
  Download(ContentType::ctChannels);
  const std::string bad = PacketLine(k, false);
  EXPECT_EQ(view->LinesSeen(), Concat({{kStart, kInit},
                                       OkLines(0, k - 1),
                                       {bad, bad, bad, "Too many error!!! Aborting..."},
                                       OkLines(k, 2),
                                       {kEnd, kDone}}));
  EXPECT_EQ(view->SaveDialogs(), 1);
  // The file lacks the abandoned packet: exactly what the box saw acknowledged.
  const Bytes file = ReadFile(Out() / "file.tcn");
  EXPECT_EQ(file, box->Sessions().at(0).delivered);
  EXPECT_EQ(file.size(), 64u + 1000u - (k == 3 ? 100u : 300u));
  const auto answers = Events(EventKind::kReply);
  ASSERT_GE(answers.size(), 5u);
  EXPECT_EQ(answers[k + 2].value, PACKET_REPEAT);
  EXPECT_EQ(answers[k + 3].value, TRANSFER_ABORT);
}

// Packet 1 in the middle, packet 3 last (then END_MARKER comes next).
INSTANTIATE_TEST_SUITE_P(Packet, AbandonTest, ::testing::Values(1, 3));

TEST_F(E2ETest, HangUpMidTransferEndsTheRun) {
  StartBox(WithFaults({"hangup=1"}));
  Download(ContentType::ctChannels);
  const Lines lines = view->LinesSeen();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 3), Concat({{kStart, kInit}, OkLines(0, 0)}));
  EXPECT_EQ(lines.back(), kDone);
  for (const auto& line : lines) EXPECT_NE(line, kEnd);
  EXPECT_EQ(view->SaveDialogs(), 0);
  EXPECT_TRUE(view->Boxes().empty());
  EXPECT_FALSE(fs::exists(Out() / "file.tcn"));
}

// The line goes while the tool pauses before reading a packet's body: the run
// ends at once, not after the pause.
TEST_F(E2ETest, LineLostDuringAPauseEndsTheRunAtOnce) {
  StartBox(WithFaults({"hangup=0"}));
  TTaskTimings timings = FastTimings();
  timings.BeforePacket = 20s;
  const auto start = std::chrono::steady_clock::now();
  Download(ContentType::ctChannels, timings);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_EQ(view->LinesSeen().back(), kDone);
  EXPECT_FALSE(fs::exists(Out() / "file.tcn"));
}

}  // namespace
}  // namespace e2e
