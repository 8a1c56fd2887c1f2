// A stop asked for in each state of a run: the run ends with the termination
// line alone, shows no save dialog and sends the box nothing more; once the
// save dialog is up, the saving step completes.
#include "tests/e2e/e2e.h"

namespace e2e {
namespace {

using boxsim::EventKind;

enum class When { WaitingForBox, AfterRequest, HeaderExchange, PacketLoop, SaveDialog };

struct Case {
  const char* name;
  When when;
  Lines lines;              // before the termination line
  std::size_t blocksToBox;  // request word, request header, answers
};

class StopTest : public E2ETest, public ::testing::WithParamInterface<Case> {};

TEST_P(StopTest, EndsAtOnceAndQuietly) {
  const Case& c = GetParam();
  auto options = c.when == When::WaitingForBox ? WithFaults({"silence"}) : QuickBox();
  // A box left waiting gives up soon, so what it received is all there is.
  options.replyTimeout = 1s;
  options.sink = [&](const boxsim::Event& e) {
    if (c.when == When::HeaderExchange && e.kind == EventKind::kRequestHeader) StopFromAnyThread();
  };
  StartBox(options);
  StartTask();
  view->OnLine = [&](const std::string& line) {
    if ((c.when == When::AfterRequest && line == kInit) ||
        (c.when == When::PacketLoop && line == PacketLine(0, true))) {
      task->RequestStop();
    }
  };
  view->OnSaveDialog = [&] {
    if (c.when == When::SaveDialog) task->RequestStop();
  };
  Go();
  if (c.when == When::WaitingForBox) {
    ASSERT_TRUE(view->WaitLine(kStart));
    task->RequestStop();
    DisconnectPort();  // as the window does right after asking
  }
  Finish();

  EXPECT_EQ(view->LinesSeen(), Concat({c.lines, {kDone}}));
  EXPECT_TRUE(view->Boxes().empty());
  const bool saved = c.when == When::SaveDialog;
  EXPECT_EQ(view->SaveDialogs(), saved ? 1 : 0);
  EXPECT_EQ(fs::exists(Out() / "file.tcn"), saved);
  if (saved) {
    EXPECT_EQ(ReadFile(Out() / "file.tcn"), box->ExpectedFile(ContentType::ctChannels));
  }

  if (c.when == When::WaitingForBox) {
    box->Stop();
  } else {
    ASSERT_TRUE(box->WaitDone(15s));
  }
  EXPECT_EQ(Received().size(), c.blocksToBox);
}

INSTANTIATE_TEST_SUITE_P(
    In, StopTest,
    ::testing::Values(
        Case{"WaitingForBox", When::WaitingForBox, {kStart}, 0},
        Case{"AfterRequest", When::AfterRequest, {kStart, kInit}, 1},
        Case{"HeaderExchange", When::HeaderExchange, {kStart, kInit}, 2},
        Case{"PacketLoop", When::PacketLoop, Concat({{kStart, kInit}, OkLines(0, 0)}), 3},
        Case{"SaveDialog", When::SaveDialog, Concat({{kStart, kInit}, OkLines(0, 3), {kEnd}}), 6}),
    [](const auto& info) { return std::string(info.param.name); });

// A stop during a pause ends the run at the pause: the request header is
// never sent.
TEST_F(E2ETest, StopDuringAPauseSendsNothingMore) {
  auto options = QuickBox();
  options.replyTimeout = 1s;
  options.sink = [&](const boxsim::Event& e) {
    if (e.kind == EventKind::kRequestReply) StopFromAnyThread();
  };
  StartBox(options);
  TTaskTimings timings = FastTimings();
  timings.BeforeRequestHeader = 2s;  // the stop arrives while the task sleeps
  StartTask(timings);
  Go();
  Finish();
  ASSERT_TRUE(box->WaitDone(15s));
  EXPECT_EQ(Received().size(), 1u);
  EXPECT_EQ(view->LinesSeen(), Lines({kStart, kInit, kDone}));
}

}  // namespace
}  // namespace e2e
