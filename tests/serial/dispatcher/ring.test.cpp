// The dispatch buffer as a reader sees it, over a real pseudo-terminal.
#include <thread>

#include "serial/errors/error_codes.h"
#include "tests/serial/port_fixture.h"

TEST(DispatchRing, FreshPortIsEmpty) {
  TOpenPort P;
  uint8_t B;
  EXPECT_FALSE(P.D->CharReady());
  EXPECT_EQ(P.D->InBuffUsed(), 0);
  EXPECT_EQ(P.D->InBuffFree(), 8192);
  EXPECT_EQ(P.D->OutBuffUsed(), 0);
  EXPECT_EQ(P.D->OutBuffFree(), int32_t(kTestBufSize));
  EXPECT_EQ(P.D->GetChar(B), ecBufferIsEmpty);
  EXPECT_EQ(P.D->ThreadCountNow(), 4);
}

TEST(DispatchRing, ReadsAreAllOrNothing) {
  TOpenPort P;
  P.Receive(Bytes("abcd"));
  uint8_t Buf[8] = {};
  EXPECT_EQ(P.D->GetBlock(Buf, 5), ecBufferIsEmpty);
  EXPECT_EQ(P.D->PeekBlock(Buf, 5), ecBufferIsEmpty);
  EXPECT_EQ(P.D->InBuffUsed(), 4);
  EXPECT_EQ(P.D->GetBlock(Buf, 0), 0);
  EXPECT_EQ(P.D->PutBlock(Buf, 0), 0);
  EXPECT_EQ(P.D->InBuffUsed(), 4);

  uint8_t C = 0;
  EXPECT_EQ(P.D->PeekChar(C, 0), ecBufferIsEmpty);
  EXPECT_EQ(P.D->PeekChar(C, 5), ecBufferIsEmpty);
  EXPECT_EQ(P.D->PeekChar(C, 4), 0);
  EXPECT_EQ(C, 'd');
  EXPECT_EQ(P.D->PeekBlock(Buf, 2), 2);
  EXPECT_EQ(P.D->PeekBlock(Buf + 2, 2), 2);
  EXPECT_EQ(std::string(Buf, Buf + 4), "abab");
  EXPECT_EQ(P.D->GetChar(C), 0);
  EXPECT_EQ(C, 'a');
  EXPECT_EQ(P.Get(3), Bytes("bcd"));
  EXPECT_FALSE(P.D->CharReady());
}

TEST(DispatchRing, WrapsAcrossTheEnd) {
  TOpenPort P;
  // Move head and tail to 8190, then store four bytes at 8190, 8191, 0, 1.
  P.Receive(Pattern(8190));
  P.Get(8190);
  P.Receive(Bytes("WXYZ"));
  EXPECT_EQ(P.D->InBuffUsed(), 4);
  uint8_t Peeked[4];
  EXPECT_EQ(P.D->PeekBlock(Peeked, 4), 4);
  EXPECT_EQ(std::vector<uint8_t>(Peeked, Peeked + 4), Bytes("WXYZ"));
  uint8_t C;
  EXPECT_EQ(P.D->PeekChar(C, 3), 0);
  EXPECT_EQ(C, 'Y');
  EXPECT_EQ(P.Get(4), Bytes("WXYZ"));
  EXPECT_EQ(P.D->InBuffFree(), 8192);
}

TEST(DispatchRing, FullRingKeepsLaterBytesInOrder) {
  TOpenPort P;
  const auto Data = Pattern(8192 + 3000, 7);
  P.Pty.Write(Data);
  ASSERT_TRUE(WaitUntil([&] { return P.D->InBuffUsed() == 8192 && P.D->QueuedBytes() == 3000; }));
  EXPECT_TRUE(P.D->CharReady());
  EXPECT_EQ(P.D->InBuffFree(), 0);
  // Room made by reads is filled from the queue, in arrival order.
  std::vector<uint8_t> Got = P.Get(5000);
  ASSERT_TRUE(WaitUntil([&] { return P.D->InBuffUsed() == 6192; }));
  auto Rest = P.Get(6192);
  Got.insert(Got.end(), Rest.begin(), Rest.end());
  EXPECT_EQ(Got, Data);
  EXPECT_EQ(P.D->QueuedBytes(), 0);
}

TEST(DispatchRing, FlushInDiscardsBufferAndQueue) {
  TOpenPort P;
  P.Pty.Write(Pattern(8192 + 1000));
  ASSERT_TRUE(WaitUntil([&] { return P.D->InBuffUsed() == 8192 && P.D->QueuedBytes() == 1000; }));
  EXPECT_NE(P.D->FlushInBuffer(), 0);
  EXPECT_EQ(P.D->InBuffUsed(), 0);
  EXPECT_FALSE(P.D->CharReady());
  EXPECT_EQ(P.D->QueuedBytes(), 0);
  P.Receive(Bytes("after"));
  EXPECT_EQ(P.Get(5), Bytes("after"));
}

TEST(DispatchRing, WaitForDataWakesOnArrivalStopAndClose) {
  TOpenPort P;
  using namespace std::chrono_literals;
  EXPECT_EQ(P.D->WaitForData(1, 20ms), TDataWait::TimedOut);
  EXPECT_EQ(P.D->WaitForData(8193, 20s), TDataWait::TooLarge);

  std::thread Sender([&] {
    std::this_thread::sleep_for(20ms);
    P.Pty.Write(Bytes("0123456789"));
  });
  EXPECT_EQ(P.D->WaitForData(10, 20s), TDataWait::Ready);
  Sender.join();
  EXPECT_EQ(P.D->InBuffUsed(), 10);

  std::stop_source Stop;
  std::thread Stopper([&] {
    std::this_thread::sleep_for(20ms);
    Stop.request_stop();
  });
  EXPECT_EQ(P.D->WaitForData(11, 20s, Stop.get_token()), TDataWait::Stopped);
  Stopper.join();

  std::thread Closer([&] {
    std::this_thread::sleep_for(20ms);
    P.D->DonePort();
  });
  EXPECT_EQ(P.D->WaitForData(11, 20s), TDataWait::Closed);
  Closer.join();
}

TEST(DispatchRing, DataOperationsAfterCloseTouchNoBuffer) {
  TOpenPort P;
  P.Receive(Bytes("xyz"));
  P.D->DonePort();
  uint8_t Buf[4];
  EXPECT_FALSE(P.D->CharReady());
  EXPECT_EQ(P.D->GetBlock(Buf, 3), ecBufferIsEmpty);
  EXPECT_EQ(P.D->PeekBlock(Buf, 1), ecBufferIsEmpty);
  EXPECT_EQ(P.D->GetChar(Buf[0]), ecBufferIsEmpty);
  EXPECT_EQ(P.D->PutBlock(Buf, 3), ecCommNotOpen);
  EXPECT_EQ(P.D->InBuffUsed(), 0);
}
