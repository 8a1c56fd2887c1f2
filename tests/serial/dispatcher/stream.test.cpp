// Long runs of received bytes through the whole receive path.
#include <random>
#include <thread>

#include "tests/serial/port_fixture.h"

namespace {
using namespace std::chrono_literals;

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr size_t kStreamBytes = size_t(8) << 20;  // sanitizers run several times slower
#else
constexpr size_t kStreamBytes = size_t(64) << 20;
#endif

// The byte at stream position I, reproducible on both ends.
struct TStream {
  std::mt19937 Gen;
  explicit TStream(uint32_t Seed) : Gen(Seed) {}
  void Fill(uint8_t* Out, size_t Len) {
    for (size_t I = 0; I < Len; ++I) Out[I] = uint8_t(Gen() >> 13);
  }
};

struct TNoOwnerWindow {
  TRecordingPlatform Platform;
  std::unique_ptr<TNotifyWindow> Window =
      Platform.CreateNotifyWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t(0); });
};

}  // namespace

// The com port component's setup: its own window registered, no trigger
// event assigned, avail threshold 1. Every batch passes through a delivery
// while the reader takes bytes on its own thread.
TEST(ReceiveStream, RandomBytesArriveExactlyWhileTheReaderLags) {
  TOpenPort P;
  TNoOwnerWindow W;
  P.D->UpdateHandlerFlags(fuDisablePort);
  P.D->RegisterWndTriggerHandler(W.Window.get());
  P.D->ChangeLengthTrigger(1);

  std::thread Box([&] {
    TStream Src(42);
    std::vector<uint8_t> Chunk(16384);
    for (size_t Sent = 0; Sent < kStreamBytes; Sent += Chunk.size()) {
      Src.Fill(Chunk.data(), Chunk.size());
      P.Pty.Write(Chunk);
    }
  });

  TStream Expected(42);
  std::mt19937 Sizes(7);
  std::vector<uint8_t> Got(8192), Want(8192);
  size_t Received = 0, Reads = 0;
  bool Same = true;
  while (Received < kStreamBytes && Same) {
    ASSERT_EQ(P.D->WaitForData(1, 20s), TDataWait::Ready) << "at byte " << Received;
    const uint32_t Avail = uint32_t(P.D->InBuffUsed());
    const uint32_t Len = std::min<uint32_t>(Avail, 1 + Sizes() % 8192);
    ASSERT_EQ(P.D->GetBlock(Got.data(), Len), int32_t(Len));
    Expected.Fill(Want.data(), Len);
    Same = std::equal(Got.begin(), Got.begin() + Len, Want.begin());
    Received += Len;
    // Now and then fall behind so that the ring fills and bytes wait in the
    // I/O queue.
    if (++Reads % 512 == 0) std::this_thread::sleep_for(3ms);
  }
  Box.join();
  EXPECT_TRUE(Same) << "first difference in the block ending at byte " << Received;
  EXPECT_EQ(Received, kStreamBytes);
  EXPECT_FALSE(P.D->CharReady());
  P.D->DeregisterWndTriggerHandler(W.Window.get());
}
