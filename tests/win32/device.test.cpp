// The Win32 device layer on a live line whose far end sends every byte back
// (ZEDAZI_TEST_ECHO_COM names it, e.g. COM8); skipped without one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "serial/win32/win32_dispatcher.h"

namespace {
using namespace std::chrono;

class TCountingPlatform : public TPlainPlatform {
 public:
  void ShowBackgroundError(const std::string&) override { ++Shown; }
  std::atomic<int> Shown{0};
};

class EchoLine : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* Com = std::getenv("ZEDAZI_TEST_ECHO_COM");
    if (!Com || !*Com) GTEST_SKIP() << "no echo line (ZEDAZI_TEST_ECHO_COM)";
    Path = std::string("\\\\.\\") + Com;
  }
  int32_t Open(TRivuWin32Dispatcher& D) {
    return D.InitPort(Path, 115200, 0, 8, 1, 16384, 16384, 1);
  }
  // Reads Count bytes, waiting up to 20 s for them.
  static std::vector<uint8_t> Get(TRivuWin32Dispatcher& D, size_t Count) {
    std::vector<uint8_t> Got(Count);
    size_t Have = 0;
    const auto Deadline = steady_clock::now() + seconds(20);
    while (Have < Count && steady_clock::now() < Deadline) {
      if (D.WaitForData(1, milliseconds(200)) != TDataWait::Ready) continue;
      const uint32_t N =
          uint32_t(std::min<size_t>({Count - Have, 4096, size_t(std::max(D.InBuffUsed(), 0))}));
      if (N == 0) continue;
      if (D.GetBlock(Got.data() + Have, N) < 0) break;
      Have += N;
    }
    Got.resize(Have);
    return Got;
  }
  std::string Path;
};

std::vector<uint8_t> Random(size_t N) {
  std::mt19937 Rng(7);
  std::vector<uint8_t> V(N);
  for (auto& B : V) B = uint8_t(Rng());
  return V;
}

}  // namespace

TEST_F(EchoLine, BytesComeBackWholeAndInOrder) {
  TRivuWin32Dispatcher D(nullptr);
  ASSERT_EQ(Open(D), 0);
  EXPECT_EQ(D.ThreadCountNow(), 4);
  // More than the output buffer in several blocks, so the ring wraps.
  const std::vector<uint8_t> Sent = Random(24000);
  std::thread Writer([&] {
    for (size_t At = 0; At < Sent.size();) {
      const uint32_t N = uint32_t(std::min<size_t>(3000, Sent.size() - At));
      if (D.OutBuffFree() < int32_t(N)) {
        std::this_thread::sleep_for(milliseconds(1));
        continue;
      }
      ASSERT_EQ(D.PutBlock(Sent.data() + At, N), 0);
      At += N;
    }
  });
  const std::vector<uint8_t> Got = Get(D, Sent.size());
  Writer.join();
  EXPECT_TRUE(Got == Sent) << Got.size() << " of " << Sent.size() << " bytes";
  D.DonePort();
  EXPECT_EQ(D.ThreadCountNow(), 0);
}

TEST_F(EchoLine, FlushesAndCloseWhileBytesFlowEndEverything) {
  TRivuWin32Dispatcher D(nullptr);
  ASSERT_EQ(Open(D), 0);
  const std::vector<uint8_t> Block = Random(16000);
  ASSERT_EQ(D.PutBlock(Block.data(), uint32_t(Block.size())), 0);
  const auto Start = steady_clock::now();
  D.FlushOutBuffer();
  EXPECT_EQ(D.OutBuffUsed(), 0);
  EXPECT_LT(steady_clock::now() - Start, seconds(5));
  // What came back so far goes with the input flush; later bytes arrive.
  std::this_thread::sleep_for(milliseconds(100));
  D.FlushInBuffer();
  EXPECT_EQ(D.InBuffUsed(), 0);
  ASSERT_EQ(D.PutString("after"), 0);
  const std::vector<uint8_t> Got = Get(D, 5);
  EXPECT_EQ(std::string(Got.begin(), Got.end()), "after");
  // Close with an echo still streaming in.
  ASSERT_EQ(D.PutBlock(Block.data(), uint32_t(Block.size())), 0);
  D.DonePort();
  EXPECT_EQ(D.ThreadCountNow(), 0);
  EXPECT_LT(D.ComHandleNow(), 0);
}

// A read that waits for bytes would hold the input flush until some came.
TEST_F(EchoLine, InputFlushOnAQuietLineReturnsAtOnce) {
  TRivuWin32Dispatcher D(nullptr);
  ASSERT_EQ(Open(D), 0);
  for (int Round = 0; Round < 5; ++Round) {
    // Each time after the read thread has had time to begin a read.
    std::this_thread::sleep_for(milliseconds(150));
    const auto Start = steady_clock::now();
    D.FlushInBuffer();
    EXPECT_LT(steady_clock::now() - Start, seconds(2)) << "round " << Round;
  }
  // Bytes after the flushes all arrive.
  ASSERT_EQ(D.PutString("still here"), 0);
  const std::vector<uint8_t> Got = Get(D, 10);
  EXPECT_EQ(std::string(Got.begin(), Got.end()), "still here");
  D.DonePort();
}

// Last: the line hangs up, and the echo end gives the link a fresh line.
TEST_F(EchoLine, VanishedDeviceStopsEveryThreadWithOneMessage) {
  TCountingPlatform Platform;
  TRivuWin32Dispatcher D(nullptr, &Platform);
  ASSERT_EQ(Open(D), 0);
  ASSERT_EQ(D.PutString("HANG-UP-NOW"), 0);
  const auto Deadline = steady_clock::now() + seconds(20);
  while (D.ThreadCountNow() > 0 && steady_clock::now() < Deadline) {
    std::this_thread::sleep_for(milliseconds(20));
  }
  EXPECT_EQ(D.ThreadCountNow(), 0);
  EXPECT_EQ(Platform.Shown.load(), 1);
}
