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

}  // namespace
}  // namespace e2e
