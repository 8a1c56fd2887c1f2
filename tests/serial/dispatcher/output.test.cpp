// The output buffer and the write thread, over a real pseudo-terminal.
#include <atomic>
#include <numeric>
#include <thread>

#include "serial/errors/error_codes.h"
#include "tests/serial/port_fixture.h"

namespace {
using namespace std::chrono_literals;
constexpr uint8_t kXon = 0x11, kXoff = 0x13;

// Stops the line with XOFF from the far end and parks the write thread on one
// byte it cannot send, so that the output buffer fills and stays full.
void StallWriteThread(TOpenPort<>& P) {
  ASSERT_EQ(P.D->SWFlowEnable(0, 0, 0x01), 0);
  // The marker behind XOFF proves the line discipline has seen the XOFF.
  P.Pty.Write({kXoff, 'M'});
  ASSERT_TRUE(WaitUntil([&] { return P.D->CharReady(); }));
  ASSERT_EQ(P.Get(1), Bytes("M"));
  ASSERT_EQ(P.D->PutChar('s'), 0);
  ASSERT_TRUE(WaitUntil([&] { return P.D->OutBuffUsed() == 0; }));
}
}  // namespace

TEST(OutputBuffer, AllByteValuesGoOutAndComeBackUnchanged) {
  TOpenPort P;
  std::vector<uint8_t> All(256);
  std::iota(All.begin(), All.end(), 0);
  ASSERT_EQ(P.D->PutBlock(All.data(), 256), 0);
  EXPECT_EQ(P.Pty.Read(256, 20s), All);
  P.Receive(All);
  EXPECT_EQ(P.Get(256), All);
  ASSERT_EQ(P.D->PutString("text"), 0);
  ASSERT_EQ(P.D->PutChar('!'), 0);
  EXPECT_EQ(P.Pty.Read(5, 20s), Bytes("text!"));
}

TEST(OutputBuffer, ExactlyTheFreeRoomFitsOneMoreByteDoesNot) {
  TOpenPort P;
  StallWriteThread(P);
  const auto Block = Pattern(kTestBufSize, 3);
  ASSERT_EQ(P.D->OutBuffFree(), int32_t(kTestBufSize));
  EXPECT_EQ(P.D->PutBlock(Block.data(), kTestBufSize), 0);
  EXPECT_EQ(P.D->OutBuffFree(), 0);
  EXPECT_EQ(P.D->OutBuffUsed(), int32_t(kTestBufSize));
  EXPECT_EQ(P.D->PutChar('x'), ecOutputBufferTooSmall);
  EXPECT_EQ(P.D->OutBuffUsed(), int32_t(kTestBufSize));

  // XON lets everything out, in order and unchanged.
  P.Pty.Write({kXon});
  auto Sent = P.Pty.Read(1 + kTestBufSize, 20s);
  ASSERT_EQ(Sent.size(), 1 + kTestBufSize);
  EXPECT_EQ(Sent[0], 's');
  EXPECT_TRUE(std::equal(Block.begin(), Block.end(), Sent.begin() + 1));
  ASSERT_TRUE(WaitUntil([&] { return P.D->OutBuffUsed() == 0; }));
  EXPECT_EQ(P.D->PutChar('x'), 0);
}

TEST(OutputBuffer, RingWrapsForBlocksAcrossItsEnd) {
  TOpenPort P;
  StallWriteThread(P);
  // The ring restarts at 0 after each take; fill it in two pieces twice so
  // the second round crosses its end.
  const auto A = Pattern(10000, 4), B = Pattern(6384, 5);
  ASSERT_EQ(P.D->PutBlock(A.data(), 10000), 0);
  ASSERT_EQ(P.D->PutBlock(B.data(), 6384), 0);
  EXPECT_EQ(P.D->OutBuffFree(), 0);
  P.Pty.Write({kXon});
  auto Sent = P.Pty.Read(1 + 16384, 20s);
  ASSERT_EQ(Sent.size(), 1u + 16384);
  EXPECT_TRUE(std::equal(A.begin(), A.end(), Sent.begin() + 1));
  EXPECT_TRUE(std::equal(B.begin(), B.end(), Sent.begin() + 10001));
}

TEST(OutputBuffer, FlushWithBytesQueuedDropsThem) {
  TOpenPort P;
  StallWriteThread(P);
  const auto Block = Pattern(5000, 6);
  ASSERT_EQ(P.D->PutBlock(Block.data(), 5000), 0);
  EXPECT_EQ(P.D->OutBuffUsed(), 5000);
  EXPECT_NE(P.D->FlushOutBuffer(), 0);
  EXPECT_EQ(P.D->OutBuffUsed(), 0);
  EXPECT_EQ(P.D->OutBuffFree(), int32_t(kTestBufSize));
  P.Pty.Write({kXon});
  ASSERT_EQ(P.D->PutString("after"), 0);
  // The byte the write thread held was dropped by the flush as well.
  EXPECT_EQ(P.Pty.Read(5, 20s), Bytes("after"));
}

TEST(OutputBuffer, FlushWhileALongBlockIsBeingWritten) {
  TOpenPort P;
  StallWriteThread(P);
  P.Pty.Write({kXon});
  ASSERT_EQ(P.Pty.Read(1, 20s), Bytes("s"));
  P.Pty.Write({kXoff, 'M'});
  ASSERT_TRUE(WaitUntil([&] { return P.D->CharReady(); }));
  ASSERT_EQ(P.Get(1), Bytes("M"));
  // The write thread takes the whole block and sits on it, unable to send.
  const auto Block = Pattern(kTestBufSize, 8);
  ASSERT_EQ(P.D->PutBlock(Block.data(), kTestBufSize), 0);
  ASSERT_TRUE(WaitUntil([&] { return P.D->OutBuffUsed() == 0; }));

  const auto Start = std::chrono::steady_clock::now();
  EXPECT_NE(P.D->FlushOutBuffer(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - Start, 5s);
  EXPECT_EQ(P.D->OutBuffUsed(), 0);
  // The rest of the block is gone; the write thread serves new bytes.
  P.Pty.Write({kXon});
  ASSERT_EQ(P.D->PutString("next"), 0);
  EXPECT_EQ(P.Pty.Read(4, 20s), Bytes("next"));
}

// The write thread's block in hand frees the buffer's room, but it is not
// sent: waiting for the output and a rate change must wait for it as well.
TEST(OutputBuffer, ABlockTheWriteThreadHoldsIsNotSentYet) {
  TOpenPort P;
  StallWriteThread(P);
  EXPECT_EQ(P.D->OutBuffUsed(), 0);
  EXPECT_EQ(P.D->OutputPending(), 1);
  EXPECT_FALSE(P.D->WaitOutputDrained(300ms));
  std::atomic<bool> Done{false};
  std::thread Ui([&] {
    EXPECT_EQ(P.D->SetLine(57600, 0, 8, 1), 0);
    Done = true;
  });
  EXPECT_FALSE(P.D->WaitOutputDrained(300ms));
  EXPECT_FALSE(Done);
  P.Pty.Write({kXon});
  EXPECT_EQ(P.Pty.Read(1, 20s), Bytes("s"));
  EXPECT_TRUE(P.D->WaitOutputDrained(20s));
  EXPECT_EQ(P.D->OutputPending(), 0);
  ASSERT_TRUE(WaitUntil([&] { return Done.load(); }));
  Ui.join();
}

TEST(OutputBuffer, RateChangeWaitsForQueuedBytesToLeave) {
  TOpenPort P;
  StallWriteThread(P);
  ASSERT_EQ(P.D->PutString("queued"), 0);
  std::atomic<bool> Done{false};
  std::thread Ui([&] {
    EXPECT_EQ(P.D->SetLine(57600, 0, 8, 1), 0);
    Done = true;
  });
  // Held while the bytes cannot leave; let go once XON lets them out.
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(Done);
  P.Pty.Write({kXon});
  ASSERT_TRUE(WaitUntil([&] { return Done.load(); }));
  Ui.join();
  EXPECT_EQ(P.Pty.Read(7, 20s), Bytes("squeued"));
  uint32_t Baud;
  uint16_t Parity, DataBits, StopBits;
  P.D->GetLine(Baud, Parity, DataBits, StopBits);
  EXPECT_EQ(Baud, 57600u);
}
