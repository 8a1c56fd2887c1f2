// Notifications, deferred consumption and trigger bookkeeping.
#include <atomic>

#include "serial/errors/error_codes.h"
#include "tests/serial/port_fixture.h"

namespace {
using namespace std::chrono_literals;

struct TCall {
  uint32_t Msg, Trigger, Param;
};

class TCalls {
 public:
  void Add(uint32_t Msg, uint32_t Trigger, uint32_t Param) {
    std::lock_guard Lock(M);
    List.push_back({Msg, Trigger, Param});
  }
  std::vector<TCall> Get() {
    std::lock_guard Lock(M);
    return List;
  }
  bool Has(uint32_t Msg) {
    for (const auto& C : Get()) {
      if (C.Msg == Msg) return true;
    }
    return false;
  }

 private:
  std::mutex M;
  std::vector<TCall> List;
};
}  // namespace

TEST(DeferredConsumption, ReadsInsideAHandlerTakeBytesWhenItEnds) {
  TOpenPort P;
  struct TSeen {
    int32_t First = 0, Second = 0, UsedInside = 0;
    std::vector<uint8_t> Bytes;
  };
  TSeen Seen;
  std::atomic<bool> Called{false};
  auto* D = P.D.get();
  P.D->ChangeLengthTrigger(6);
  P.D->RegisterEventTriggerHandler(&Seen, [&](uint32_t Msg, uint32_t Count, uint32_t) {
    if (Msg != nmTriggerAvail || Called) return;
    uint8_t Buf[4];
    Seen.First = D->GetBlock(Buf, 4);
    Seen.Bytes.assign(Buf, Buf + 4);
    Seen.Second = D->GetBlock(Buf, 4);
    Seen.UsedInside = D->InBuffUsed();
    EXPECT_EQ(Count, 6u);
    Called = true;
  });
  P.Pty.Write(Bytes("abcdef"));
  ASSERT_TRUE(WaitUntil([&] { return Called.load(); }));
  ASSERT_TRUE(WaitUntil([&] { return P.D->InBuffUsed() == 2; }));
  EXPECT_EQ(Seen.First, 4);
  EXPECT_EQ(Seen.Bytes, Bytes("abcd"));
  EXPECT_EQ(Seen.Second, ecBufferIsEmpty);
  EXPECT_EQ(Seen.UsedInside, 2);
  EXPECT_EQ(P.Get(2), Bytes("ef"));
  P.D->DeregisterEventTriggerHandler(&Seen);
}

TEST(DeferredConsumption, EachHandlerReadsFromTheStartTheLargestTakeCounts) {
  TOpenPort P;
  auto* D = P.D.get();
  std::vector<uint8_t> A(2), B(3);
  std::atomic<int> Calls{0};
  P.D->ChangeLengthTrigger(5);
  int KeyA, KeyB;
  P.D->RegisterEventTriggerHandler(&KeyA, [&](uint32_t Msg, uint32_t, uint32_t) {
    if (Msg == nmTriggerAvail && Calls < 2) D->GetBlock(A.data(), 2), ++Calls;
  });
  P.D->RegisterEventTriggerHandler(&KeyB, [&](uint32_t Msg, uint32_t, uint32_t) {
    if (Msg == nmTriggerAvail && Calls < 2) D->GetBlock(B.data(), 3), ++Calls;
  });
  P.Pty.Write(Bytes("12345"));
  ASSERT_TRUE(WaitUntil([&] { return Calls == 2 && P.D->InBuffUsed() == 2; }));
  EXPECT_EQ(A, Bytes("12"));
  EXPECT_EQ(B, Bytes("123"));
  EXPECT_EQ(P.Get(2), Bytes("45"));
  P.D->DeregisterEventTriggerHandler(&KeyA);
  P.D->DeregisterEventTriggerHandler(&KeyB);
}

TEST(Notifications, WindowHandlerGetsTheAvailMessageOnItsThread) {
  TOpenPort P;
  std::vector<TCall> Got;
  const auto Me = std::this_thread::get_id();
  auto Window = P.Platform.CreateNotifyWindow([&](uint32_t Msg, uintptr_t W, intptr_t L) {
    EXPECT_EQ(std::this_thread::get_id(), Me);
    Got.push_back({Msg, uint32_t(W), uint32_t(L)});
    return intptr_t(0);
  });
  P.D->RegisterWndTriggerHandler(Window.get());
  P.D->UpdateHandlerFlags(fuEnablePort);
  P.D->ChangeLengthTrigger(1);
  P.Pty.Write(Bytes("hello"));
  ASSERT_TRUE(WaitUntil([&] {
    P.Platform.ProcessPendingEvents();
    return !Got.empty();
  }));
  EXPECT_EQ(Got[0].Msg, nmTriggerAvail);
  EXPECT_GE(Got[0].Trigger, 1u);
  EXPECT_EQ(Got[0].Param >> 16, uint32_t(P.D->PortIndex()));
  // The window read nothing, so the bytes stay for the polling reader.
  ASSERT_TRUE(WaitUntil([&] {
    P.Platform.ProcessPendingEvents();
    return P.D->InBuffUsed() == 5;
  }));
  EXPECT_EQ(P.Get(5), Bytes("hello"));
  P.D->DeregisterWndTriggerHandler(Window.get());
}

TEST(Notifications, ClosingFromInsideAHandlerIsDeferredToTheDispatcherThread) {
  TOpenPort P;
  auto* D = P.D.get();
  std::atomic<bool> Closed{false};
  int Key;
  P.D->ChangeLengthTrigger(1);
  P.D->RegisterEventTriggerHandler(&Key, [&](uint32_t, uint32_t, uint32_t) {
    if (!Closed.exchange(true)) D->DonePort();
  });
  P.Pty.Write(Bytes("x"));
  ASSERT_TRUE(WaitUntil([&] { return Closed && P.D->ThreadCountNow() == 0; }));
  EXPECT_LT(P.D->ComHandleNow(), 0);
  EXPECT_FALSE(P.D->CharReady());
  EXPECT_TRUE(P.Owner.Seen().empty());
  P.D.reset();
}

TEST(Notifications, DataTimerAndStatusTriggersFire) {
  TOpenPort P;
  TCalls Calls;
  int Key;
  P.D->RegisterEventTriggerHandler(&Key, [&](uint32_t Msg, uint32_t Trigger, uint32_t Param) {
    Calls.Add(Msg, Trigger, Param);
  });
  const int32_t Data = P.D->AddDataTrigger("ok", true);
  const int32_t Timer = P.D->AddTimerTrigger();
  const int32_t Sent = P.D->AddStatusTrigger(stOutSent);
  EXPECT_EQ(Data, 8);
  EXPECT_EQ(Timer, 16);
  EXPECT_EQ(Sent, 24 | stOutSent);
  EXPECT_EQ(TRivuBaseDispatcher::ClassifyStatusTrigger(Sent), stOutSent);

  P.Pty.Write(Bytes("xxOK"));
  ASSERT_TRUE(WaitUntil([&] { return Calls.Has(nmTriggerData); }));
  for (const auto& C : Calls.Get()) {
    if (C.Msg == nmTriggerData) {
      EXPECT_EQ(C.Trigger, uint32_t(Data));
    }
  }
  ASSERT_EQ(P.D->SetTimerTrigger(Timer, 1, true), 0);
  ASSERT_TRUE(WaitUntil([&] { return Calls.Has(nmTriggerTimer); }));
  ASSERT_EQ(P.D->SetStatusTrigger(Sent, 0, true), 0);
  ASSERT_EQ(P.D->PutString("out"), 0);
  ASSERT_TRUE(WaitUntil([&] { return Calls.Has(nmTriggerStatus); }));
  P.D->DeregisterEventTriggerHandler(&Key);
}

TEST(Triggers, BookkeepingSaveAndRestore) {
  TOpenPort P;
  EXPECT_EQ(P.D->AddStatusTrigger(9), ecBadArgument);
  EXPECT_EQ(P.D->AddDataTrigger("", false), ecBadArgument);
  const int32_t T = P.D->AddTimerTrigger();
  EXPECT_EQ(P.D->RemoveTrigger(T + 8), ecBadTriggerHandle);
  EXPECT_EQ(P.D->SetTimerTrigger(T + 8, 1, true), ecBadTriggerHandle);
  P.D->ChangeLengthTrigger(7);

  TTriggerSave Save;
  P.D->SaveTriggers(Save);
  EXPECT_EQ(Save.LenTrigger, 7u);
  EXPECT_EQ(Save.Timers.size(), 1u);
  EXPECT_EQ(P.D->RemoveAllTriggers(), 0);
  EXPECT_EQ(P.D->RemoveTrigger(T), ecBadTriggerHandle);
  EXPECT_EQ(P.D->AddTimerTrigger(), 8);  // the counter starts again

  TOpenPort Next;
  Next.D->RestoreTriggers(Save);
  EXPECT_EQ(Next.D->RemoveTrigger(T), 0);
  TRivuBaseDispatcher::ClearSaveBuffers(Save);
  EXPECT_TRUE(Save.Timers.empty());
  EXPECT_EQ(Save.LenTrigger, 0u);
}

TEST(Settings, OptionsDataPointersAndPortList) {
  TOpenPort P;
  P.D->OptionsOn(0x14);
  EXPECT_TRUE(P.D->OptionsAreOn(0x10));
  EXPECT_TRUE(P.D->OptionsAreOn(0x14));
  P.D->OptionsOff(0x04);
  EXPECT_FALSE(P.D->OptionsAreOn(0x14));

  int Value = 5;
  void* Out = nullptr;
  EXPECT_EQ(P.D->SetDataPointer(&Value, 0), ecBadArgument);
  EXPECT_EQ(P.D->SetDataPointer(&Value, 3), 0);
  EXPECT_EQ(P.D->GetDataPointer(Out, 3), 0);
  EXPECT_EQ(Out, &Value);
  EXPECT_EQ(P.D->GetDataPointer(Out, 4), ecBadArgument);

  TRivuBaseDispatcher::LockPortList();
  EXPECT_EQ(TRivuBaseDispatcher::GetTComRecPtr(P.D->PortIndex()), P.D.get());
  EXPECT_EQ(TRivuBaseDispatcher::GetTComRecPtr<TRivuPosixDispatcher>(P.D->PortIndex()), P.D.get());
  TRivuBaseDispatcher::UnlockPortList();
  const int32_t Index = P.D->PortIndex();
  {
    // A freed slot is reused by the next dispatcher.
    auto Second = std::make_unique<TRivuPosixDispatcher>(nullptr);
    const int32_t SecondIndex = Second->PortIndex();
    EXPECT_NE(SecondIndex, Index);
    Second.reset();
    EXPECT_EQ(TRivuBaseDispatcher::GetTComRecPtr(SecondIndex), nullptr);
    TRivuPosixDispatcher Third(nullptr);
    EXPECT_EQ(Third.PortIndex(), SecondIndex);
  }
}

TEST(Notifications, AHandlerThatThrowsStopsThePortAndIsShownOnce) {
  TOpenPort P;
  int Key;
  P.D->ChangeLengthTrigger(1);
  P.D->RegisterEventTriggerHandler(
      &Key, [](uint32_t, uint32_t, uint32_t) { throw std::runtime_error("handler failed"); });
  P.Pty.Write(Bytes("x"));
  ASSERT_TRUE(WaitUntil([&] { return P.D->ThreadCountNow() == 0; }));
  EXPECT_EQ(P.Platform.Shown(), std::vector<std::string>{"handler failed"});
  EXPECT_EQ(P.D->WaitForData(1, 1s), TDataWait::Closed);
  P.D->DonePort();
}
