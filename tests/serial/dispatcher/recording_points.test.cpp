// What the dispatcher writes to its dispatch log as bytes come in.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/serial/port_fixture.h"
#include "tests/serial/temp_folder.h"

namespace {

// The log as written, a line an entry.
std::vector<std::string> LogLines(TRivuBaseDispatcher& D, const TTempFolder& Folder) {
  const std::string Path = Folder.File("dispatch.log");
  EXPECT_EQ(D.DispatchLog().DumpDispatchLog(Path, false, false, "COM1"), 0);
  std::ifstream In(Path, std::ios::binary);
  std::vector<std::string> Lines;
  for (std::string Line; std::getline(In, Line);) Lines.push_back(Line);
  return Lines;
}

// The byte counts of the ReadCom entries, in order.
std::vector<uint32_t> ReadComCounts(const std::vector<std::string>& Lines) {
  std::vector<uint32_t> Counts;
  for (const std::string& Line : Lines) {
    std::istringstream Fields(Line);
    std::string Time, Type, SubType, Count;
    if (Fields >> Time >> Type >> SubType >> Count && SubType == "ReadCom") {
      Counts.push_back(uint32_t(std::stoul(Count, nullptr, 16)));
    }
  }
  return Counts;
}

}  // namespace

// Bytes that wrap round the end of the ring are two reads: no entry spans
// the end. A full ring is written once a stall, however often the thread
// finds it full.
TEST(DispatchRecording, AReadComEntryEachReadAndOneLineEachStall) {
  TOpenPort P;
  TTempFolder Folder;
  P.D->DispatchLog().InitDispatchLogging(0);
  P.Receive(std::vector<uint8_t>(8000, 'a'));
  P.Get(8000);
  P.Receive(std::vector<uint8_t>(400, 'b'));
  P.Get(400);

  // Two stalls: the ring fills, a little room is made, it fills again.
  P.Pty.Write(std::vector<uint8_t>(DispatchBufferSize + 1000, 'c'));
  ASSERT_TRUE(WaitUntil([&] { return P.D->InBuffUsed() == int32_t(DispatchBufferSize); }));
  P.Get(500);
  ASSERT_TRUE(WaitUntil([&] { return P.D->InBuffUsed() == int32_t(DispatchBufferSize); }));
  P.Get(DispatchBufferSize);
  ASSERT_TRUE(WaitUntil([&] { return P.D->InBuffUsed() == 500; }));

  const std::vector<std::string> Lines = LogLines(*P.D, Folder);
  uint32_t Sum = 0;
  bool EndOfRingIsABoundary = false;
  for (const uint32_t Count : ReadComCounts(Lines)) {
    Sum += Count;
    EndOfRingIsABoundary |= Sum == DispatchBufferSize;
  }
  EXPECT_EQ(Sum, 8400u + DispatchBufferSize + 1000);
  EXPECT_TRUE(EndOfRingIsABoundary);
  int Full = 0;
  for (const std::string& Line : Lines) Full += Line.find("Dispatch buffer full.") != Line.npos;
  EXPECT_EQ(Full, 2);
}

namespace {

// An entry's type, subtype, data and what follows, as the dump writes them.
std::string Entry(const std::string& Line) {
  std::istringstream Fields(Line);
  std::string Time, Rest;
  Fields >> Time;
  std::getline(Fields >> std::ws, Rest);
  std::string Out;
  std::istringstream Words(Rest);
  for (std::string W; Words >> W;) Out += (Out.empty() ? "" : " ") + W;
  return Out;
}

std::string Hex(int32_t V) {
  char Text[9];
  std::snprintf(Text, sizeof Text, "%.8X", uint32_t(V));
  return Text;
}

std::atomic<int> TimerCalls{0}, StatusCalls{0};
void CountingProc(uint32_t Msg, uint32_t, uint32_t) {
  TimerCalls += Msg == nmTriggerTimer;
  StatusCalls += Msg == nmTriggerStatus;
}

}  // namespace

// Handlers, triggers and notifications each leave their entry, in the order
// they happened on each thread.
TEST(DispatchRecording, HandlersTriggersAndNotificationsAreRecorded) {
  TOpenPort P;
  TTempFolder Folder;
  P.D->DispatchLog().InitDispatchLogging(0);
  int Key;
  P.D->RegisterProcTriggerHandler(&CountingProc);
  P.D->RegisterEventTriggerHandler(&Key, [&](uint32_t Msg, uint32_t Count, uint32_t) {
    std::vector<uint8_t> Sink(Count);
    if (Msg == nmTriggerAvail) P.D->GetBlock(Sink.data(), Count);
  });
  P.D->ChangeLengthTrigger(1);
  const int32_t Data = P.D->AddDataTrigger("OK", false);
  const int32_t Timer = P.D->AddTimerTrigger();
  const int32_t Sent = P.D->AddStatusTrigger(stOutSent);

  P.Pty.Write(Bytes("xxOK"));
  // "xx" is told before the match, "OK" after it: the handler takes both.
  ASSERT_TRUE(WaitUntil([&] { return P.D->InBuffUsed() == 0; }));
  ASSERT_EQ(P.D->SetTimerTrigger(Timer, 258, true), 0);
  ASSERT_EQ(P.D->SetTimerTrigger(Timer, 1, true), 0);
  ASSERT_EQ(P.D->SetStatusTrigger(Sent, 0, true), 0);
  ASSERT_EQ(P.D->PutString("go"), 0);
  ASSERT_TRUE(WaitUntil([&] { return TimerCalls == 1 && StatusCalls == 1; }));
  ASSERT_EQ(P.D->RemoveTrigger(Data), 0);
  P.D->RemoveAllTriggers();
  P.D->DeregisterEventTriggerHandler(&Key);
  P.D->DeregisterProcTriggerHandler(&CountingProc);

  std::vector<std::string> Got;
  for (const std::string& Line : LogLines(*P.D, Folder)) Got.push_back(Entry(Line));
  // The lines on the caller's thread, then the dispatcher thread's.
  const std::vector<std::string> Mine = {
      "TrgHdAlc Procedure 00000000",
      "TrgHdAlc Method 00000000",
      "TrDatChg Avail 00000001",
      "TrigAllc Data " + Hex(Data) + " OK",
      "TrigAllc Timer " + Hex(Timer),
      "TrigAllc Status " + Hex(Sent) + " (Output sent)",
      "TrDatChg Timer " + Hex(Timer) + " [2][1][0][0]",
      "TrDatChg Timer " + Hex(Timer) + " [1][0][0][0]",
      "TrDatChg Status " + Hex(Sent) + " [5]",
      "Dispatch WriteCom 00000002 go",
      "TrigDisp Data " + Hex(Data) + " OK",
      "TrigDisp Timer " + Hex(Timer),
      "TrigDisp Status " + Hex(Sent) + " (Output sent)",
      "TrgHdDsp Method 00000000",
      "TrgHdDsp Procedure 00000000",
  };
  const std::vector<std::string> Theirs = {
      "Dispatch ReadCom 00000004 xxOK",
      "Trigger Avail 00000002",
      "Trigger Data " + Hex(Data),
      "Trigger Avail 00000002",
  };
  auto InOrder = [&](const std::vector<std::string>& Want) {
    size_t At = 0;
    for (const std::string& G : Got) At += At < Want.size() && G == Want[At];
    return At == Want.size();
  };
  EXPECT_TRUE(InOrder(Mine)) << ::testing::PrintToString(Got);
  EXPECT_TRUE(InOrder(Theirs)) << ::testing::PrintToString(Got);
  for (const std::string& Fired : {"Trigger Timer " + Hex(Timer), "Trigger Status " + Hex(Sent)}) {
    EXPECT_EQ(std::count(Got.begin(), Got.end(), Fired), 1) << Fired;
  }
}

// An open starts with no trace, logging off and the log's clock at zero,
// whatever the port recorded before.
TEST(DispatchRecording, OpeningAgainStartsWithNoRecordersAndANewClock) {
  TOpenPort P;
  TTempFolder Folder;
  ASSERT_EQ(P.D->Trace().InitTracing(100), 0);
  P.D->DispatchLog().InitDispatchLogging(0);
  ASSERT_EQ(P.D->PutString("before"), 0);
  ASSERT_TRUE(WaitUntil([&] { return P.D->DispatchLog().GetDispatchTime() >= 1000; }));
  P.D->DonePort();
  ASSERT_EQ(P.D->InitPort(P.Pty.SlavePath(), 115200, 0, 8, 1, kTestBufSize, kTestBufSize, 1), 0);
  EXPECT_LT(P.D->DispatchLog().GetDispatchTime(), 1000u);
  EXPECT_FALSE(P.D->Trace().TracingOn());
  EXPECT_FALSE(P.D->DispatchLog().DLoggingOn());
  ASSERT_EQ(P.D->PutString("after"), 0);
  const std::string Trc = Folder.File("t.trc"), Log = Folder.File("d.log");
  EXPECT_EQ(P.D->Trace().DumpTrace(Trc, false, false), 0);
  EXPECT_EQ(P.D->DispatchLog().DumpDispatchLog(Log, false, false, "COM1"), 0);
  EXPECT_FALSE(std::filesystem::exists(Trc));
  EXPECT_FALSE(std::filesystem::exists(Log));
}

// The trace holds what reads took and writes queued; peeks take nothing.
TEST(DispatchRecording, TheTraceHoldsReadsAndWritesNotPeeks) {
  TOpenPort P;
  TTempFolder Folder;
  ASSERT_EQ(P.D->Trace().InitTracing(100), 0);
  ASSERT_EQ(P.D->PutString("AT"), 0);
  P.Receive(Bytes("OK!"));
  uint8_t C = 0;
  ASSERT_EQ(P.D->PeekChar(C, 1), 0);
  uint8_t Two[2];
  ASSERT_EQ(P.D->PeekBlock(Two, 2), 2);
  ASSERT_EQ(P.D->GetChar(C), 0);
  ASSERT_EQ(P.D->GetBlock(Two, 2), 2);
  const std::string Trc = Folder.File("t.trc");
  ASSERT_EQ(P.D->Trace().DumpTrace(Trc, false, false), 0);
  std::ifstream In(Trc, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(In), {}),
            "Transmit: \r\nAT\r\n\r\nReceive: \r\nOK!\r\n");
}

// A flush ends a stall as reading does: the next stall is written again.
TEST(DispatchRecording, AFlushEndsTheStallAndTheNextIsWrittenAgain) {
  TOpenPort P;
  TTempFolder Folder;
  const std::string Path = Folder.File("stalls.log");
  P.D->DispatchLog().InitDispatchLogging(0);
  int Written = 0;  // the stall lines appended to the file so far
  auto Stalls = [&] {
    EXPECT_EQ(P.D->DispatchLog().AppendDispatchLog(Path, false, false, "COM1"), 0);
    std::ifstream In(Path, std::ios::binary);
    Written = 0;
    for (std::string Line; std::getline(In, Line);) {
      Written += Line.find("Dispatch buffer full.") != Line.npos;
    }
    return Written;
  };
  for (int Stall = 1; Stall <= 2; ++Stall) {
    P.Pty.Write(std::vector<uint8_t>(DispatchBufferSize + 1000, 'f'));
    ASSERT_TRUE(WaitUntil([&] { return Stalls() == Stall; }, std::chrono::seconds(10))) << Written;
    EXPECT_NE(P.D->FlushInBuffer(), 0);
    EXPECT_EQ(P.D->InBuffUsed(), 0);
  }
}
