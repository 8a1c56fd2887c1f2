// Events, the I/O queue and the plain platform's notification windows.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "serial/dispatcher/event.h"
#include "serial/dispatcher/io_queue.h"
#include "serial/platform/platform.h"
#include "tests/support/wait_until.h"

using namespace std::chrono_literals;

TEST(Event, AutoResetWakesOneWaitManualResetStays) {
  TRivuEvent Auto(TRivuEvent::TKind::AutoReset), Manual(TRivuEvent::TKind::ManualReset);
  EXPECT_FALSE(Auto.Wait(1));
  Auto.Set();
  EXPECT_TRUE(Auto.TryWait());
  EXPECT_FALSE(Auto.TryWait());
  Manual.Set();
  EXPECT_TRUE(Manual.TryWait());
  EXPECT_TRUE(Manual.Wait(1));
  Manual.Reset();
  EXPECT_FALSE(Manual.TryWait());

  std::thread Setter([&] {
    std::this_thread::sleep_for(10ms);
    Auto.Set();
  });
  EXPECT_TRUE(Auto.Wait(20000));
  Setter.join();
}

TEST(Event, WaitAnyReportsWhichAndConsumesIt) {
  TRivuEvent A, B;
  EXPECT_EQ(TRivuEvent::WaitAny({&A, &B}, 1), -1);
  B.Set();
  EXPECT_EQ(TRivuEvent::WaitAny({&A, &B}, 1), 1);
  EXPECT_FALSE(B.TryWait());
  std::thread Setter([&] {
    std::this_thread::sleep_for(10ms);
    A.Set();
  });
  EXPECT_EQ(TRivuEvent::WaitAny({&A, &B}, 20000), 0);
  Setter.join();
}

TEST(IOQueue, ItemsInUseSurviveClear) {
  TIOQueue Q;
  auto Data = std::make_unique<TDataBuffer>(256);
  Data->Used = 10;
  Q.Push(std::move(Data));
  Q.Push(std::make_unique<TStatusBuffer>(0x80));
  EXPECT_EQ(Q.FirstDataAvailable(), 10);
  EXPECT_EQ(Q.DataBytes(), 10);
  TIOBuffer* Held = Q.Peek();
  ASSERT_NE(Held, nullptr);
  EXPECT_EQ(Q.Peek(), nullptr);  // already held
  EXPECT_EQ(Q.FirstDataAvailable(), 0);
  Q.Clear();
  EXPECT_FALSE(Q.Empty());  // the held chunk stays, the status item went
  Q.Release(Held);
  EXPECT_EQ(Q.Pop().get() != nullptr, true);
  EXPECT_TRUE(Q.Empty());
  EXPECT_EQ(Q.TotalSize(), 0);
  EXPECT_FALSE(Q.WaitForBuffer(1));
}

TEST(PlainPlatform, MessagesRunOnTheWindowsThread) {
  TPlainPlatform Platform;
  std::vector<uint32_t> Got;
  const auto Me = std::this_thread::get_id();
  auto Window = Platform.CreateNotifyWindow([&](uint32_t Msg, uintptr_t W, intptr_t) {
    EXPECT_EQ(std::this_thread::get_id(), Me);
    Got.push_back(Msg);
    return intptr_t(W + 1);
  });
  Window->Post(1, 0, 0);
  intptr_t Result = 0;
  EXPECT_TRUE(Window->Send(2, 41, 0, 0, &Result));  // own thread: direct
  EXPECT_EQ(Result, 42);
  EXPECT_EQ(Got, (std::vector<uint32_t>{2}));

  std::atomic<bool> Sent{false};
  std::thread Other([&] {
    intptr_t R = 0;
    EXPECT_TRUE(Window->Send(3, 9, 0, 20000, &R));
    EXPECT_EQ(R, 10);
    Sent = true;
  });
  ASSERT_TRUE(WaitUntil([&] {
    Platform.ProcessPendingEvents();
    return Sent.load();
  }));
  Other.join();
  EXPECT_EQ(Got, (std::vector<uint32_t>{2, 1, 3}));

  // Nobody processes: the send gives up and the message never runs.
  std::thread Late([&] { EXPECT_FALSE(Window->Send(4, 0, 0, 10)); });
  Late.join();
  Window.reset();
  Platform.ProcessPendingEvents();
  EXPECT_EQ(Got.size(), 3u);
}

// Deliver never drops a message: one not run within the wait runs later,
// once.
TEST(PlainPlatform, DeliverWaitsAndRunsALateMessageOnce) {
  TPlainPlatform Platform;
  std::atomic<int> Runs{0};
  auto Window = Platform.CreateNotifyWindow([&](uint32_t, uintptr_t, intptr_t) {
    ++Runs;
    return intptr_t(0);
  });
  EXPECT_TRUE(Window->Deliver(1, 0, 0, 0));  // own thread: direct
  EXPECT_EQ(Runs, 1);

  std::atomic<bool> Delivered{false};
  std::thread Waited([&] { Delivered = Window->Deliver(2, 0, 0, 60000); });
  ASSERT_TRUE(WaitUntil([&] {
    Platform.ProcessPendingEvents();
    return Delivered.load();
  }));
  Waited.join();
  EXPECT_EQ(Runs, 2);

  std::thread Late([&] { EXPECT_FALSE(Window->Deliver(3, 0, 0, 10)); });
  Late.join();
  EXPECT_EQ(Runs, 2);
  Platform.ProcessPendingEvents();
  Platform.ProcessPendingEvents();
  EXPECT_EQ(Runs, 3);
}
