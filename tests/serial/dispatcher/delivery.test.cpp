// What handlers may do inside a delivery, who gets one, and an open that
// fails half-way.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "serial/errors/error_codes.h"
#include "tests/serial/port_fixture.h"

namespace {
using namespace std::chrono_literals;

// Messages a window got, on the test's thread.
struct TWindowLog {
  std::mutex M;
  std::vector<uint32_t> Msgs;
  size_t Count() {
    std::lock_guard Lock(M);
    return Msgs.size();
  }
};

std::unique_ptr<TNotifyWindow> LoggingWindow(TOpenPort<>& P, TWindowLog& Log) {
  return P.Platform.CreateNotifyWindow([&Log](uint32_t Msg, uintptr_t, intptr_t) {
    std::lock_guard Lock(Log.M);
    Log.Msgs.push_back(Msg);
    return intptr_t(0);
  });
}

}  // namespace

// Inside a delivery every read starts where the handler's own reads left
// off, and nothing is taken until the delivery ends.
TEST(DeliveryRules, PeeksAndReadsInsideADeliverySeeTheHandlersPosition) {
  TOpenPort P;
  auto* D = P.D.get();
  std::string Seen;
  int32_t UsedInside = -1;
  std::atomic<bool> Called{false};
  P.D->ChangeLengthTrigger(6);
  int Key;
  P.D->RegisterEventTriggerHandler(&Key, [&](uint32_t Msg, uint32_t, uint32_t) {
    if (Msg != nmTriggerAvail || Called) return;
    uint8_t C = 0, Two[2] = {};
    Seen += D->CharReady() ? "ready " : "empty ";
    if (D->PeekChar(C, 1) == 0) Seen += char(C);
    if (D->GetChar(C) == 0) Seen += char(C);
    if (D->PeekChar(C, 2) == 0) Seen += char(C);
    if (D->PeekBlock(Two, 2) == 2) Seen.append(Two, Two + 2);
    if (D->GetBlock(Two, 2) == 2) Seen.append(Two, Two + 2);
    UsedInside = D->InBuffUsed();
    Called = true;
  });
  P.Pty.Write(Bytes("abcdef"));
  ASSERT_TRUE(WaitUntil([&] { return Called && P.D->InBuffUsed() == 3; }));
  EXPECT_EQ(Seen, "ready aacbcbc");
  EXPECT_EQ(UsedInside, 3);
  EXPECT_EQ(P.Get(3), Bytes("def"));
  P.D->DeregisterEventTriggerHandler(&Key);
  P.D->DonePort();  // no delivery may outlive what the handlers use
}

// A flush inside a delivery takes what is buffered when the delivery ends,
// not bytes that come later.
TEST(DeliveryRules, AFlushInsideADeliveryTakesTheBufferedBytes) {
  TOpenPort P;
  auto* D = P.D.get();
  std::atomic<int> Calls{0};
  P.D->ChangeLengthTrigger(3);
  int Key;
  P.D->RegisterEventTriggerHandler(&Key, [&](uint32_t Msg, uint32_t, uint32_t) {
    if (Msg == nmTriggerAvail && Calls++ == 0) D->FlushInBuffer();
  });
  P.Pty.Write(Bytes("xyz"));
  ASSERT_TRUE(WaitUntil([&] { return Calls >= 1 && P.D->InBuffUsed() == 0; }));
  P.D->DeregisterEventTriggerHandler(&Key);
  P.Receive(Bytes("kept"));
  EXPECT_EQ(P.Get(4), Bytes("kept"));
  P.D->DonePort();  // no delivery may outlive what the handlers use
}

// A handler dropped during a delivery, by itself or another, gets nothing
// more, and the others go on getting theirs.
TEST(DeliveryRules, HandlersDeregisteredDuringADeliveryGetNothingMore) {
  TOpenPort P;
  auto* D = P.D.get();
  std::atomic<int> A{0}, B{0}, C{0};
  int KeyA, KeyB, KeyC;
  P.D->ChangeLengthTrigger(1);
  P.D->RegisterEventTriggerHandler(&KeyA, [&](uint32_t Msg, uint32_t Count, uint32_t) {
    if (Msg != nmTriggerAvail) return;
    ++A;
    D->DeregisterEventTriggerHandler(&KeyB);  // later in the list
    D->DeregisterEventTriggerHandler(&KeyA);  // itself
    std::vector<uint8_t> Sink(Count);
    D->GetBlock(Sink.data(), Count);
  });
  P.D->RegisterEventTriggerHandler(&KeyB, [&](uint32_t, uint32_t, uint32_t) { ++B; });
  P.D->RegisterEventTriggerHandler(&KeyC, [&](uint32_t Msg, uint32_t Count, uint32_t) {
    if (Msg != nmTriggerAvail) return;
    ++C;
    std::vector<uint8_t> Sink(Count);
    D->GetBlock(Sink.data(), Count);
  });
  P.Pty.Write(Bytes("1"));
  ASSERT_TRUE(WaitUntil([&] { return C == 1; }));
  P.Pty.Write(Bytes("2"));
  ASSERT_TRUE(WaitUntil([&] { return C == 2 && P.D->InBuffUsed() == 0; }));
  EXPECT_EQ(A, 1);
  EXPECT_EQ(B, 0);
  P.D->DeregisterEventTriggerHandler(&KeyC);
  P.D->DonePort();  // no delivery may outlive what the handlers use
}

// A handler that closes the port ends the delivery there: the handlers after
// it get nothing, and the port is released by the dispatcher thread.
TEST(DeliveryRules, ClosingFromAHandlerSkipsTheRestOfTheDelivery) {
  TOpenPort P;
  auto* D = P.D.get();
  std::atomic<int> First{0}, Later{0};
  int KeyA, KeyB;
  P.D->ChangeLengthTrigger(2);
  P.D->RegisterEventTriggerHandler(&KeyA, [&](uint32_t Msg, uint32_t, uint32_t) {
    if (Msg != nmTriggerAvail || First++ != 0) return;
    uint8_t C;
    D->GetChar(C);
    D->DonePort();
  });
  P.D->RegisterEventTriggerHandler(&KeyB, [&](uint32_t, uint32_t, uint32_t) { ++Later; });
  P.Pty.Write(Bytes("ab"));
  ASSERT_TRUE(WaitUntil([&] { return First == 1 && P.D->ThreadCountNow() == 0; }));
  EXPECT_EQ(Later, 0);
  EXPECT_LT(P.D->ComHandleNow(), 0);
  EXPECT_TRUE(P.Owner.Seen().empty());
}

// The component's own window alone gets nothing while its port handler is
// off, even beside other handlers; a second window, or the handler on,
// brings the list in.
TEST(DeliveryRules, OneWindowIsSkippedUnlessItsPortHandlerIsOn) {
  TOpenPort P;
  TWindowLog Own, Other;
  auto OwnWindow = LoggingWindow(P, Own);
  P.D->UpdateHandlerFlags(fuDisablePort);
  P.D->RegisterWndTriggerHandler(OwnWindow.get());
  std::atomic<int> Procs{0};
  static std::atomic<int>* Counter = nullptr;
  Counter = &Procs;
  const TTriggerProc Proc = [](uint32_t Msg, uint32_t, uint32_t) {
    if (Msg == nmTriggerAvail) ++*Counter;
  };
  P.D->RegisterProcTriggerHandler(Proc);
  P.D->ChangeLengthTrigger(1);
  auto Deliveries = [&](std::string_view Text, TWindowLog& Log, size_t Want) {
    const int Before = Procs;
    P.Pty.Write(Bytes(Text));
    return WaitUntil([&] {
      P.Platform.ProcessPendingEvents();
      return Procs > Before && Log.Count() >= Want;
    });
  };
  ASSERT_TRUE(Deliveries("a", Own, 0));
  P.Platform.ProcessPendingEvents();
  EXPECT_EQ(Own.Count(), 0u);

  auto OtherWindow = LoggingWindow(P, Other);
  P.D->RegisterWndTriggerHandler(OtherWindow.get());
  EXPECT_TRUE(Deliveries("b", Other, 1));
  EXPECT_GE(Own.Count(), 1u);
  P.D->DeregisterWndTriggerHandler(OtherWindow.get());

  P.D->UpdateHandlerFlags(fuEnablePort);
  const size_t Had = Own.Count();
  EXPECT_TRUE(Deliveries("c", Own, Had + 1));
  P.D->DeregisterWndTriggerHandler(OwnWindow.get());
  P.D->DeregisterProcTriggerHandler(Proc);
  P.D->DonePort();  // no delivery may outlive what the handlers use
}

// An open refused after the device was opened leaves no device, buffer or
// thread behind, and the device can be opened again.
TEST(DeliveryRules, AnOpenRefusedAfterTheDeviceOpenedLeavesNothing) {
  TRecordingOwner Owner;
  TRecordingPlatform Platform;
  TPtyPair Pty;
  TRivuPosixDispatcher D(&Owner, &Platform);
  EXPECT_NE(D.InitPort(Pty.SlavePath(), 115200, 0, 4, 1, kTestBufSize, kTestBufSize, 1), 0);
  EXPECT_LT(D.ComHandleNow(), 0);
  EXPECT_EQ(D.ThreadCountNow(), 0);
  EXPECT_FALSE(D.DispatcherActiveNow());
  EXPECT_EQ(D.PutChar('x'), ecCommNotOpen);
  uint8_t C;
  EXPECT_EQ(D.GetChar(C), ecBufferIsEmpty);
  EXPECT_EQ(D.InitPort(Pty.SlavePath(), 115200, 0, 8, 1, kTestBufSize, kTestBufSize, 1), 0);
  ASSERT_EQ(D.PutChar('x'), 0);
  EXPECT_EQ(Pty.Read(1, 20s), Bytes("x"));
}

// A reader on another thread takes bytes as usual while handlers are told:
// it never gets a byte twice however many handlers the delivery has, and a
// handler never reads what it took.
TEST(DeliveryRules, AReaderOnAnotherThreadTakesBytesOnceDuringADelivery) {
  TOpenPort P;
  std::atomic<int> Stage{0};  // 1: first handler in, 2: its reader done, 3 and 4 likewise
  std::string Second;
  int KeyA, KeyB;
  P.D->ChangeLengthTrigger(10);
  P.D->RegisterEventTriggerHandler(&KeyA, [&](uint32_t Msg, uint32_t, uint32_t) {
    if (Msg != nmTriggerAvail || Stage != 0) return;
    Stage = 1;
    WaitUntil([&] { return Stage == 2; });
  });
  P.D->RegisterEventTriggerHandler(&KeyB, [&](uint32_t Msg, uint32_t, uint32_t) {
    if (Msg != nmTriggerAvail || Stage != 2) return;
    Stage = 3;
    WaitUntil([&] { return Stage == 4; });
    uint8_t Two[2];
    if (P.D->GetBlock(Two, 2) == 2) Second.assign(Two, Two + 2);
  });
  P.Pty.Write(Bytes("abcdefghij"));
  ASSERT_TRUE(WaitUntil([&] { return Stage == 1; }));
  EXPECT_EQ(P.D->InBuffUsed(), 10);
  EXPECT_EQ(P.Get(3), Bytes("abc"));
  Stage = 2;
  ASSERT_TRUE(WaitUntil([&] { return Stage == 3; }));
  EXPECT_EQ(P.Get(3), Bytes("def"));
  Stage = 4;
  ASSERT_TRUE(WaitUntil([&] { return P.D->InBuffUsed() == 2; }));
  EXPECT_EQ(Second, "gh");
  EXPECT_EQ(P.Get(2), Bytes("ij"));
  P.D->DonePort();  // no delivery may outlive what the handlers use
}

namespace {
// A window made and run on a thread of its own until it is destroyed.
struct TWindowThread {
  TWindowThread(TOpenPort<>& P, TWindowProc Proc)
      : Thread([&P, Proc, this](std::stop_token Stop) {
          const auto Made = P.Platform.CreateNotifyWindow(Proc);
          Window = Made.get();
          while (!Stop.stop_requested()) {
            P.Platform.ProcessPendingEvents();
            std::this_thread::sleep_for(1ms);
          }
        }) {
    WaitUntil([&] { return Window != nullptr; });
  }
  std::atomic<TNotifyWindow*> Window{nullptr};
  std::jthread Thread;
};
}  // namespace

// Deregistering a window waits for a delivery to it that is under way, so
// the window may be freed at once; from inside that delivery it cannot
// wait, and does not.
TEST(DeliveryRules, DeregisteringAWindowWaitsForItsDeliveryUnlessInsideIt) {
  TOpenPort P;
  std::atomic<bool> Entered{false}, Release{false}, Ended{false}, Left{false};
  TWindowThread Busy(P, [&](uint32_t Msg, uintptr_t, intptr_t) {
    if (Msg != nmTriggerAvail || Entered.exchange(true)) return intptr_t(0);
    WaitUntil([&] { return Release.load(); });
    Ended = true;
    return intptr_t(0);
  });
  P.D->UpdateHandlerFlags(fuEnablePort);
  P.D->RegisterWndTriggerHandler(Busy.Window);
  P.D->ChangeLengthTrigger(1);
  P.Pty.Write(Bytes("a"));
  ASSERT_TRUE(WaitUntil([&] { return Entered.load(); }));
  std::atomic<bool> Returned{false}, EndedFirst{false};
  std::thread Leaver([&] {
    P.D->DeregisterWndTriggerHandler(Busy.Window);
    EndedFirst = Ended.load();
    Returned = true;
  });
  EXPECT_FALSE(WaitUntil([&] { return Returned.load(); }, 200ms));
  Release = true;
  Leaver.join();
  EXPECT_TRUE(EndedFirst);

  std::chrono::steady_clock::duration Took{};
  TWindowThread Quitter(P, [&](uint32_t Msg, uintptr_t, intptr_t) {
    if (Msg == nmTriggerAvail && !Left) {
      const auto Start = std::chrono::steady_clock::now();
      P.D->DeregisterWndTriggerHandler(Quitter.Window);
      Took = std::chrono::steady_clock::now() - Start;
      Left = true;
    }
    return intptr_t(0);
  });
  P.D->RegisterWndTriggerHandler(Quitter.Window);
  P.Pty.Write(Bytes("b"));
  ASSERT_TRUE(WaitUntil([&] { return Left.load(); }));
  // Well within the window's send timeout, which would end a wait from inside.
  EXPECT_LT(Took, 1s);
  P.D->DonePort();
}
