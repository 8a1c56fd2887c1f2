// Received bytes while the way they take changes under them: flushes in the
// middle of a stream, and the reader's direct move giving way to the
// dispatcher thread and back.
#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

#include "tests/serial/port_fixture.h"

namespace {
using namespace std::chrono_literals;

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr size_t kSwitchBytes = size_t(1) << 20;
#else
constexpr size_t kSwitchBytes = size_t(4) << 20;
#endif

// Noise byte I of a round is I % 128; what follows a flush is 0x80 and up.
constexpr uint32_t kNoise = 1024, kNoiseChunk = 64, kTail = 48;

// Takes bytes until Last has come: the tail's last byte, the stream's last.
std::vector<uint8_t> TakeThrough(TOpenPort<>& P, uint8_t Last) {
  std::vector<uint8_t> Got;
  while ((Got.empty() || Got.back() != Last) && P.D->WaitForData(1, 20s) == TDataWait::Ready) {
    std::vector<uint8_t> Block(size_t(P.D->InBuffUsed()));
    const int32_t N = P.D->GetBlock(Block.data(), uint32_t(Block.size()));
    Got.insert(Got.end(), Block.begin(), Block.begin() + std::max(N, 0));
  }
  return Got;
}

}  // namespace

// Each round flushes while its noise streams in, then sends a tail. The bytes
// taken after the flush are the noise's last bytes (none of those buffered
// when the flush began) and then the tail, whole.
TEST(StreamHandover, FlushesWhileBytesStreamInLeaveNothingBehind) {
  std::vector<uint8_t> Noise(kNoise);
  for (uint32_t I = 0; I < kNoise; ++I) Noise[I] = uint8_t(I % 128);
  for (const bool ByDispatcher : {false, true}) {
    TOpenPort P;
    if (ByDispatcher) {
      // A listener with a receive trigger never sent: every byte then passes
      // the dispatcher thread, never the reader's direct move.
      P.D->RegisterEventTriggerHandler(&P, [](uint32_t, uint32_t, uint32_t) {});
      P.D->AddDataTrigger("\xFF\xFF\xFF", false);
    }
    for (int Round = 0; Round < 500; ++Round) {
      std::thread Box([&] {
        for (uint32_t I = 0; I < kNoise; I += kNoiseChunk) P.Pty.Write(&Noise[I], kNoiseChunk);
      });
      ASSERT_EQ(P.D->WaitForData(1, 20s), TDataWait::Ready);
      const uint32_t Buffered = uint32_t(P.D->InBuffUsed());
      P.D->FlushInBuffer();
      Box.join();
      std::vector<uint8_t> Want(kTail);
      for (uint32_t K = 0; K < kTail; ++K) Want[K] = uint8_t(0x80 | ((Round * 31 + K) % 127));
      P.Pty.Write(Want);
      const auto Got = TakeThrough(P, Want.back());
      const auto TailAt = std::find_if(Got.begin(), Got.end(), [](uint8_t B) { return B >= 0x80; });
      const uint32_t Kept = uint32_t(TailAt - Got.begin());
      ASSERT_LE(Kept, kNoise - Buffered) << "round " << Round << " by dispatcher " << ByDispatcher;
      for (uint32_t K = 0; K < Kept; ++K) {
        ASSERT_EQ(Got[K], (kNoise - Kept + K) % 128) << "round " << Round << " byte " << K;
      }
      ASSERT_EQ(std::vector<uint8_t>(TailAt, Got.end()), Want) << "round " << Round;
    }
  }
}

// A listener comes and goes, with receive triggers and the avail threshold,
// while a stream is read on another thread: every byte arrives once, in
// order, whichever way it went.
TEST(StreamHandover, SwitchingDeliveryMidStreamKeepsEveryByteInOrder) {
  TOpenPort P;
  const auto Data = Pattern(kSwitchBytes, 11);
  std::atomic<bool> Done{false}, Sent{false};
  std::atomic<int> Switches{0}, Calls{0};
  std::thread Box([&] {
    for (size_t At = 0; At < Data.size(); At += 4096) P.Pty.Write(&Data[At], 4096);
    Sent = true;
  });
  std::thread Switcher([&] {
    int KeyA, KeyB;
    // Each delivery lasts a moment, so that reads fall inside some.
    auto Quiet = [&](uint32_t, uint32_t, uint32_t) {
      ++Calls;
      std::this_thread::sleep_for(20us);
    };
    while (!Done) {
      // Two handlers, so a delivery has more than one start to read from.
      P.D->RegisterEventTriggerHandler(&KeyA, Quiet);
      P.D->RegisterEventTriggerHandler(&KeyB, Quiet);
      const int32_t T = P.D->AddDataTrigger(std::string(2, char(Switches % 256)), false);
      P.D->ChangeLengthTrigger(1 + Switches % 3);
      std::this_thread::sleep_for(200us);
      P.D->RemoveTrigger(T);
      P.D->ChangeLengthTrigger(0);
      std::this_thread::sleep_for(100us);
      P.D->DeregisterEventTriggerHandler(&KeyA);
      P.D->DeregisterEventTriggerHandler(&KeyB);
      std::this_thread::sleep_for(200us);
      ++Switches;
    }
  });
  std::mt19937 Sizes(3);
  std::vector<uint8_t> Got(8192);
  size_t Received = 0;
  bool Same = true;
  // The reader polls a while, as a task between other work would, so that it
  // looks again during deliveries; then it sleeps until bytes come.
  int Polls = 0;
  while (Received < Data.size() && Same) {
    const uint32_t Len = std::min<uint32_t>(uint32_t(P.D->InBuffUsed()), 1 + Sizes() % 8192);
    const int32_t N = Len ? P.D->GetBlock(Got.data(), Len) : 0;
    if (N <= 0) {
      if (++Polls < 1000) {
        std::this_thread::yield();
      } else if (P.D->WaitForData(1, 20s) != TDataWait::Ready) {
        break;
      }
      continue;
    }
    Polls = 0;
    Same = std::equal(Got.begin(), Got.begin() + N, Data.begin() + ptrdiff_t(Received));
    Received += size_t(N);
  }
  Done = true;
  Switcher.join();
  while (!Sent) {
    P.D->FlushInBuffer();  // after a failure: let the far end finish
    std::this_thread::sleep_for(1ms);
  }
  Box.join();
  EXPECT_TRUE(Same) << "first difference in the block ending at byte " << Received;
  EXPECT_EQ(Received, Data.size());
  EXPECT_GT(Switches, 2);
  EXPECT_GT(Calls, 2);
  EXPECT_FALSE(P.D->CharReady());
}

// What waits in the I/O queue may be asked on any thread while bytes move out
// of it, partly, chunk by chunk.
TEST(StreamHandover, QueuedBytesMayBeAskedWhileChunksAreTaken) {
  TOpenPort P;
  const auto Data = Pattern(kSwitchBytes, 5);
  std::atomic<bool> Done{false};
  std::thread Asker([&] {
    while (!Done) EXPECT_GE(P.D->QueuedBytes(), 0);
  });
  std::thread Box([&] { P.Pty.Write(Data); });
  std::vector<uint8_t> Got(Data.size());
  size_t Received = 0;
  while (Received < Data.size()) {
    if (P.D->WaitForData(1, 20s) != TDataWait::Ready) break;
    // Small reads keep the ring nearly full: each room made takes part of a
    // chunk, which stays queued with its count changed.
    const uint32_t Len = std::min({uint32_t(Data.size() - Received), uint32_t(1 + Received % 16),
                                   uint32_t(P.D->InBuffUsed())});
    const int32_t N = P.D->GetBlock(&Got[Received], Len);
    if (N > 0) Received += size_t(N);
  }
  Done = true;
  Asker.join();
  Box.join();
  EXPECT_EQ(Got, Data);
}
