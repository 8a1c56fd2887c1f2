#include "serial/recording/trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "serial/errors/error_codes.h"
#include "serial/recording/byte_items.h"
#include "tests/serial/temp_folder.h"

namespace {

class TraceTest : public ::testing::Test {
 protected:
  void Record(char kind, std::string_view bytes) {
    for (char c : bytes) trace.AddTraceEntry(kind, static_cast<uint8_t>(c));
  }
  std::string Dump(bool inHex = false, bool allHex = false) {
    const std::string name = folder.File("RIVU.TRC");
    EXPECT_EQ(trace.DumpTrace(name, inHex, allHex), ecOK);
    return ReadWholeFile(name);
  }

  TTempFolder folder;
  std::recursive_mutex lock;
  TTraceRecorder trace{lock};
};

TEST_F(TraceTest, PutThenGetGivesFiveLines) {
  ASSERT_EQ(trace.InitTracing(10000), ecOK);
  Record(kTraceTransmit, "AT\r");
  Record(kTraceReceive, "OK");
  EXPECT_EQ(Dump(), "Transmit: \r\nAT[13]\r\n\r\nReceive: \r\nOK\r\n");
}

TEST_F(TraceTest, UserKindsGetSpecialHeadings) {
  ASSERT_EQ(trace.InitTracing(100), ecOK);
  Record('R', "a");
  Record('x', "b");
  Record('x', "c");
  EXPECT_EQ(Dump(), "Receive: \r\na\r\n\r\nSpecial-x: \r\nbc\r\n");
}

TEST_F(TraceTest, FullRingKeepsTheNewestOldestFirst) {
  ASSERT_EQ(trace.InitTracing(4), ecOK);
  Record(kTraceReceive, "123456");
  EXPECT_EQ(Dump(), "Receive: \r\n3456\r\n");
  // Exactly full counts as wrapped too.
  Record(kTraceReceive, "wxyz");
  EXPECT_EQ(Dump(), "Receive: \r\nwxyz\r\n");
}

TEST_F(TraceTest, ItemForms) {
  struct Row {
    uint8_t byte;
    bool inHex;
    bool allHex;
    const char* item;
  };
  const Row rows[] = {
      {' ', false, false, " "},     {' ', true, false, "[20]"}, {'!', true, false, "!"},
      {127, false, false, "[127]"}, {127, true, false, "[7F]"}, {7, false, false, "[7]"},
      {31, false, false, "[31]"},   {126, false, false, "~"},   {255, false, false, "[255]"},
      {'A', false, true, "[41]"},   {0xab, true, true, "[AB]"}, {0, true, false, "[00]"},
  };
  for (const Row& r : rows) {
    char out[8];
    const std::size_t n = FormatByteItem(r.byte, r.inHex, r.allHex, out);
    EXPECT_EQ(std::string(out, n), r.item) << int(r.byte) << " hex " << r.inHex << r.allHex;
  }
}

TEST_F(TraceTest, NineteenFourWideItemsFillALine) {
  ASSERT_EQ(trace.InitTracing(100), ecOK);
  Record(kTraceReceive, std::string(20, '\x7f'));
  std::string line;
  for (int i = 0; i < 19; ++i) line += "[7F]";
  EXPECT_EQ(Dump(true), "Receive: \r\n" + line + "\r\n[7F]\r\n");
}

TEST_F(TraceTest, LineBreaksOnlyPastColumn78) {
  ASSERT_EQ(trace.InitTracing(100), ecOK);
  // 76 letters then a 3-wide item: 79 > 78, so it starts the next line;
  // 78 letters exactly stay on one line.
  Record(kTraceReceive, std::string(76, 'a') + "\x01");
  EXPECT_EQ(Dump(), "Receive: \r\n" + std::string(76, 'a') + "\r\n[1]\r\n");
  Record(kTraceReceive, std::string(78, 'b'));
  EXPECT_EQ(Dump(), "Receive: \r\n" + std::string(78, 'b') + "\r\n");
}

TEST_F(TraceTest, NothingRecordedWritesNoFile) {
  const std::string name = folder.File("none.trc");
  EXPECT_EQ(trace.DumpTrace(name, false, false), ecOK);  // no trace at all
  ASSERT_EQ(trace.InitTracing(10), ecOK);
  EXPECT_EQ(trace.DumpTrace(name, false, false), ecOK);
  EXPECT_FALSE(std::filesystem::exists(name));
  // A dump restarts an empty trace with tracing on, even from a pause.
  Record('T', "ab");
  trace.StopTracing();
  Dump();
  EXPECT_TRUE(trace.TracingOn());
  EXPECT_EQ(trace.DumpTrace(name, false, false), ecOK);
  EXPECT_FALSE(std::filesystem::exists(name));
}

TEST_F(TraceTest, AppendAddsToAnExistingFile) {
  const std::string name = folder.File("RIVU.TRC");
  ASSERT_EQ(trace.InitTracing(10), ecOK);
  Record('T', "a");
  ASSERT_EQ(trace.AppendTrace(name, false, false), ecOK);  // creates it
  Record('R', "b");
  ASSERT_EQ(trace.AppendTrace(name, false, false), ecOK);
  EXPECT_EQ(ReadWholeFile(name), "Transmit: \r\na\r\nReceive: \r\nb\r\n");
  Record('R', "c");
  ASSERT_EQ(trace.DumpTrace(name, false, false), ecOK);  // overwrites
  EXPECT_EQ(ReadWholeFile(name), "Receive: \r\nc\r\n");
}

TEST_F(TraceTest, UnopenableFileReturnsNegatedErrorAndDiscardsTrace) {
  ASSERT_EQ(trace.InitTracing(10), ecOK);
  Record('T', "a");
  EXPECT_EQ(trace.DumpTrace(folder.File("missing/RIVU.TRC"), false, false), ecPathNotFound);
  EXPECT_FALSE(trace.TracingOn());
  EXPECT_FALSE(trace.HasTrace());
  Record('T', "b");  // ignored without a trace
  trace.StartTracing();
  EXPECT_FALSE(trace.TracingOn());
}

TEST_F(TraceTest, WriteErrorIsReturnedAndTraceRestarts) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ASSERT_EQ(trace.InitTracing(10), ecOK);
  Record('T', "a");
  EXPECT_EQ(trace.DumpTrace("/dev/full", false, false), ecDiskFull);
  EXPECT_TRUE(trace.TracingOn());
  const std::string name = folder.File("after.trc");
  EXPECT_EQ(trace.DumpTrace(name, false, false), ecOK);
  EXPECT_FALSE(std::filesystem::exists(name));
}

TEST_F(TraceTest, SizeLimitsAndStates) {
  EXPECT_EQ(trace.InitTracing(kMaxTraceEntries + 1), ecBadArgument);
  EXPECT_FALSE(trace.HasTrace());
  EXPECT_FALSE(trace.TracingOn());

  // A trace of no entries records nothing and does not fault.
  ASSERT_EQ(trace.InitTracing(0), ecOK);
  Record('R', "abc");
  trace.AbortTracing();

  ASSERT_EQ(trace.InitTracing(3), ecOK);
  // Re-initialising keeps the size and empties the trace.
  Record('R', "xy");
  ASSERT_EQ(trace.InitTracing(50), ecOK);
  Record('R', "12345");
  EXPECT_EQ(Dump(), "Receive: \r\n345\r\n");
}

TEST_F(TraceTest, ConcurrentEntriesAndDumps) {
  ASSERT_EQ(trace.InitTracing(1000), ecOK);
  std::vector<std::thread> writers;
  for (int t = 0; t < 2; ++t) {
    writers.emplace_back([this, t] {
      const std::vector<uint8_t> block(64, static_cast<uint8_t>('a' + t));
      for (int i = 0; i < 200; ++i) trace.AddTraceEntries(t ? 'R' : 'T', block);
    });
  }
  for (int i = 0; i < 20; ++i) EXPECT_EQ(trace.DumpTrace(folder.File("c.trc"), i & 1, false), 0);
  for (auto& w : writers) w.join();
  EXPECT_TRUE(trace.TracingOn());
}

}  // namespace
