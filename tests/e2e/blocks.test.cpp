// Blocks that stop arriving part way, played byte by byte on a bare line:
// a step waits for its whole block, and a line silent before it is complete
// breaks the block.
#include <thread>

#include "tests/e2e/e2e.h"
#include "tests/support/pty_pair.h"

namespace e2e {
namespace {

Bytes Word(uint32_t w) {
  const auto b = ToWire(w);
  return Bytes(b.begin(), b.end());
}

Bytes Header(uint32_t total) {
  Bytes h(kHeaderSize, 0);
  const std::string_view magic = "TAVRA_V_ZT100";
  std::copy(magic.begin(), magic.end(), h.begin());
  PackWord(h.data() + 16, total);
  return h;
}

class BlocksTest : public E2ETest {
 protected:
  BlocksTest() { UseLine(line.SlavePath()); }

  // The greeting once the task listens, then its request and header.
  void UpToTheRequest() {
    StartTask();
    Go();
    ASSERT_TRUE(view->WaitLine(kStart));
    line.Write(Bytes{0x4B, 0x47, 0x53});
    EXPECT_EQ(line.Read(4, 10s), Bytes({0xAB, 0x55, 0x70, 0x02}));
  }
  void UpToTheResponseHeader() {
    UpToTheRequest();
    line.Write(Word(UP_ACCEPTED));
    EXPECT_EQ(line.Read(kHeaderSize, 10s).size(), kHeaderSize);
    line.Write(Word(HEADER_ACCEPTED));
  }

  TPtyPair line;
  // The port closes before the line goes away.
  ~BlocksTest() override {
    task.reset();
    ClosePort();
  }
};

TEST_F(BlocksTest, ReplyWordCutShortIsARefusal) {
  UpToTheRequest();
  line.Write(Bytes{0xBA, 0x55});
  Finish();
  EXPECT_EQ(view->LinesSeen(), Lines({kStart, kInit, "Bad STB response! Aborting...", kDone}));
  EXPECT_EQ(view->Boxes(),
            std::vector<TBox>({{"Bad STB response! Aborting ...", "Error", TMsgButtons::mbOK}}));
}

TEST_F(BlocksTest, ResponseHeaderCutShortIsARefusal) {
  UpToTheResponseHeader();
  const Bytes header = Header(0);
  line.Write(Bytes(header.begin(), header.begin() + 30));
  Finish();
  EXPECT_EQ(view->LinesSeen(), Lines({kStart, kInit, "STB rejected request! Aborting...", kDone}));
  EXPECT_EQ(view->Boxes().size(), 1u);
  EXPECT_TRUE(line.ReadAvailable().empty());
}

TEST_F(BlocksTest, FinalWordCutShortIsIgnored) {
  UpToTheResponseHeader();
  Bytes rest = Header(0);
  const Bytes end = Word(END_MARKER);
  rest.insert(rest.end(), end.begin(), end.end());
  rest.insert(rest.end(), {0x12, 0x34});
  line.Write(rest);
  Finish();
  EXPECT_EQ(view->LinesSeen(), Lines({kStart, kInit, kEnd, kDone}));
  EXPECT_EQ(ReadFile(Out() / "file.tcn"), Header(0));
}

TEST_F(BlocksTest, GreetingCutAfterItsFirstByteTimesOutLevel2) {
  StartTask();
  Go();
  ASSERT_TRUE(view->WaitLine(kStart));
  line.Write(Bytes{0x00, 0xFF, 0x4B, 0x47});
  Finish();
  EXPECT_EQ(view->LinesSeen(), Lines({kStart, "Level 2: Timeout!!!", kDone}));
  EXPECT_TRUE(line.ReadAvailable().empty());
}

TEST_F(BlocksTest, BlockArrivingInPiecesIsWaitedFor) {
  UpToTheRequest();
  // Each piece comes well within the silence that would break the block.
  const Bytes reply = Word(UP_ACCEPTED);
  for (std::size_t i = 0; i < reply.size(); ++i) {
    line.Write(&reply[i], 1);
    // Nothing is sent while the word is incomplete.
    if (i + 1 < reply.size()) {
      EXPECT_TRUE(line.Read(1, 300ms).empty());
    }
  }
  EXPECT_EQ(line.Read(kHeaderSize, 10s).size(), kHeaderSize);
  task->RequestStop();
  Finish();
  EXPECT_EQ(view->LinesSeen(), Lines({kStart, kInit, kDone}));
}

// A box that did not take the request greets on: a greeting that was not
// already on its way is the reply, a refusal, and the run ends.
TEST_F(BlocksTest, GreetingOnAfterTheRequestIsARefusal) {
  UpToTheRequest();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i) {
    line.Write(Bytes{0x4B, 0x47, 0x53});
    if (view->WaitDone(500ms)) break;
  }
  Finish(1s);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(view->LinesSeen(), Lines({kStart, kInit, "Bad STB response! Aborting...", kDone}));
  EXPECT_EQ(view->Boxes(),
            std::vector<TBox>({{"Bad STB response! Aborting ...", "Error", TMsgButtons::mbOK}}));
  EXPECT_TRUE(line.ReadAvailable().empty());
}

// A bad length field, then a line that never goes quiet, fast (the drain's
// byte bound ends it) or slow (its time bound does): the packet is asked for
// again all the same.
class DrainTest : public BlocksTest,
                  public ::testing::WithParamInterface<std::chrono::milliseconds> {};

TEST_P(DrainTest, LineThatNeverGoesQuietStillGetsARepeat) {
  UpToTheResponseHeader();
  line.Write(Header(1000));
  line.Write(Word(kMaxPacketLength + 1));
  const Bytes junk(16, 0x5A);
  Bytes answer;
  const auto start = std::chrono::steady_clock::now();
  while (answer.size() < kWordSize && std::chrono::steady_clock::now() - start < 15s) {
    line.Write(junk);
    std::this_thread::sleep_for(GetParam());
    const Bytes got = line.ReadAvailable();
    answer.insert(answer.end(), got.begin(), got.end());
  }
  ASSERT_GE(answer.size(), kWordSize) << "the drain never ended";
  EXPECT_EQ(Bytes(answer.begin(), answer.begin() + kWordSize), Word(PACKET_REPEAT));
  task->RequestStop();
  Finish();
  const Lines lines = view->LinesSeen();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 3), Lines({kStart, kInit, PacketLine(0, false)}));
  EXPECT_EQ(lines.back(), kDone);
}

INSTANTIATE_TEST_SUITE_P(Pause, DrainTest, ::testing::Values(1ms, 50ms));

}  // namespace
}  // namespace e2e
