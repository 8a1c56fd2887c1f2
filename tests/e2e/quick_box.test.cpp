// A box that answers the moment it has read a word and keeps greeting until
// the request arrives: no reply may be lost to the tool's own flushes.
#include "tests/e2e/e2e.h"

namespace e2e {
namespace {

// No pauses at all: the tool answers as fast as the box, so every word meets
// whatever the other side still has on its way.
TTaskTimings NoPauses() {
  TTaskTimings t = FastTimings();
  t.AfterGreeting = 0ms;
  t.BeforeRequestHeader = 0ms;
  t.BeforeResponseHeader = 0ms;
  t.BeforePacket = 0ms;
  t.BeforePacketOk = 0ms;
  return t;
}

TEST_F(E2ETest, NoReplyOfAnInstantBoxIsLostInThreeHundredExchanges) {
  auto options = QuickBox(200, 200);
  options.once = false;
  options.replyDelay = 0ms;
  // Greetings keep coming until the request is read, so some are always in
  // flight when it leaves.
  options.greetingInterval = 2ms;
  StartBox(options);
  constexpr int kRuns = 300;
  for (int run = 1; run <= kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const ContentTypeInfo& info = ContentTypes()[std::size_t(run) % ContentTypes().size()];
    StartTask(NoPauses());
    view->Type = info.type;
    Go();
    Finish(20s);
    ASSERT_EQ(view->LinesSeen(), Concat({{kStart, kInit}, OkLines(0, 0), {kEnd, kDone}}));
    ASSERT_TRUE(view->Boxes().empty());
    ASSERT_TRUE(box->WaitSessions(std::size_t(run), 10s));
    ASSERT_EQ(ReadFile(Out() / ("file" + std::string(info.defaultExtension))),
              box->ExpectedFile(info.type));
  }
  EXPECT_EQ(Events(boxsim::EventKind::kRequest).size(), std::size_t(kRuns));
}

}  // namespace
}  // namespace e2e
