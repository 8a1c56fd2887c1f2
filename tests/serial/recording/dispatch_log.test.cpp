#include "serial/recording/dispatch_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "serial/errors/error_codes.h"
#include "tests/serial/temp_folder.h"

namespace {

constexpr int kHeaderLines = 7;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "text does not end with CR LF";
  return lines;
}

std::string Line(const TLogBuffer& entry, bool inHex = false, bool allHex = false) {
  std::string out;
  FormatLogEntry(entry, inHex, allHex, out);
  EXPECT_GE(out.size(), 2u);
  return out.substr(0, out.size() - 2);
}

TLogBuffer Entry(TDispatchType type, TDispatchSubType sub, uint32_t data, std::string bytes = "",
                 uint32_t time = 0) {
  return TLogBuffer{type, sub, time, data, std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

class DispatchLogTest : public ::testing::Test {
 protected:
  std::string DumpLines(std::vector<std::string>* header = nullptr, bool inHex = false,
                        bool allHex = false) {
    const std::string name = folder.File("RIVU.LOG");
    EXPECT_EQ(log.DumpDispatchLog(name, inHex, allHex, "COM3"), ecOK);
    std::vector<std::string> lines = Lines(ReadWholeFile(name));
    EXPECT_GE(lines.size(), std::size_t{kHeaderLines});
    if (header) header->assign(lines.begin(), lines.begin() + kHeaderLines);
    std::string body;
    for (std::size_t i = kHeaderLines; i < lines.size(); ++i) body += lines[i] + "|";
    return body;
  }

  TTempFolder folder;
  std::recursive_mutex lock;
  std::atomic<int64_t> now{1000000};
  TDispatchLog log{lock, [this] { return now.load(); }};
};

TEST_F(DispatchLogTest, PutBlockEntryLine) {
  log.InitDispatchLogging(0);
  now += 2500;
  const uint8_t bytes[] = {0xAB, 0x55, 0x70, 0x01};
  log.AddDispatchEntry(dtDispatch, dstWriteCom, 4, bytes, 4);
  EXPECT_EQ(DumpLines(), "0002.500  Dispatch  WriteCom      00000004  [171]Up[1]|");
}

TEST_F(DispatchLogTest, HeaderLines) {
  log.InitDispatchLogging(0);
  log.AddStringToLog("hi");
  std::vector<std::string> header;
  DumpLines(&header);
  EXPECT_EQ(header[0], "RIVU v4.07");
  EXPECT_TRUE(std::regex_match(header[1], std::regex("Compiler : (GCC|Clang) \\d+\\.\\d+\\.\\d+")))
      << header[1];
  EXPECT_TRUE(std::regex_match(header[2], std::regex("Operating System : \\S+ \\d+\\.\\d+( .*)?")))
      << header[2];
  EXPECT_LE(header[2].size(), std::string("Operating System : ").size() + 256);
  EXPECT_EQ(header[3], "Device: COM3");
  EXPECT_TRUE(std::regex_match(header[4], std::regex("Date/time: \\d\\d/\\d\\d/\\d\\d, "
                                                     "\\d\\d:\\d\\d:\\d\\d")))
      << header[4];
  EXPECT_EQ(header[5], "Time      Type      SubType       Data      OtherData");
  EXPECT_EQ(header[6], "--------  --------  ------------  --------  ---------");
}

TEST_F(DispatchLogTest, EntryColumnsAndTimes) {
  struct Row {
    TLogBuffer entry;
    const char* line;
  };
  const Row rows[] = {
      {Entry(dtTrigger, dstAvail, 12, "", 1234), "0001.234  Trigger   Avail         0000000C  "},
      {Entry(dtUser, dstNone, 0, "note", 0), "0000.000  User                    00000000  note"},
      {Entry(dtThread, dstThreadDataQueued, 0, "", 12345678),
       "12345.678  Thread    Data Queued   00000000  "},
      {Entry(dtTriggerHandlerAlloc, dstWndHandler, 0xdeadbeef),
       "0000.000  TrgHdAlc  Window        DEADBEEF  "},
  };
  for (const Row& r : rows) EXPECT_EQ(Line(r.entry), r.line);
}

TEST_F(DispatchLogTest, StatusTriggerKinds) {
  const char* kinds[] = {"(Not active)",
                         "(Modem status)",
                         "(Line status)",
                         "(Output buffer free)",
                         "(Output buffer used)",
                         "(Output sent)",
                         ""};
  for (uint8_t k = 0; k < 7; ++k) {
    const std::string prefix = "0000.000  TrigAllc  Status        00000002  ";
    EXPECT_EQ(Line(Entry(dtTriggerAlloc, dstStatusTrigger, 2, std::string(1, char(k)))),
              prefix + kinds[k]);
  }
  EXPECT_EQ(Line(Entry(dtTriggerDispose, dstStatusTrigger, 2, std::string(1, '\2'))),
            "0000.000  TrigDisp  Status        00000002  (Line status)");
  // Only allocation and disposal name the kind; a change shows the byte.
  EXPECT_EQ(Line(Entry(dtTriggerDataChange, dstStatusTrigger, 2, std::string(1, '\2'))),
            "0000.000  TrDatChg  Status        00000002  [2]");
}

TEST_F(DispatchLogTest, ModemStatusTags) {
  const std::string prefix = "0000.000  Error     Modem status  ";
  EXPECT_EQ(Line(Entry(dtError, dstModemStatus, 0xB1, "x")),
            prefix + "000000B1  x(DCTS CTS DSR DCD)");
  EXPECT_EQ(Line(Entry(dtError, dstModemStatus, 0xFF, "x")),
            prefix + "000000FF  x(DCTS DDSR TERI DDCD CTS DSR RI DCD)");
  EXPECT_EQ(Line(Entry(dtError, dstModemStatus, 0, "x")), prefix + "00000000  x()");
  // Tags come only with bytes.
  EXPECT_EQ(Line(Entry(dtError, dstModemStatus, 0x10)), prefix + "00000010  ");
}

TEST_F(DispatchLogTest, ItemsWrapUnderTheColumns) {
  // Lines count from 45: 8 four-wide items reach 77, the 9th starts a line of
  // 44 blanks. User bytes stay plain under all-hex.
  const std::string bytes(9, '\x90');
  std::string items;
  for (int i = 0; i < 8; ++i) items += "[90]";
  EXPECT_EQ(Line(Entry(dtDispatch, dstReadCom, 9, bytes), true),
            "0000.000  Dispatch  ReadCom       00000009  " + items + "\r\n" + std::string(44, ' ') +
                "[90]");
  EXPECT_EQ(Line(Entry(dtUser, dstNone, 0, "a b"), true, true),
            "0000.000  User                    00000000  a b");
  EXPECT_EQ(Line(Entry(dtDispatch, dstReadCom, 3, "a b"), true, true),
            "0000.000  Dispatch  ReadCom       00000003  [61][20][62]");
}

TEST_F(DispatchLogTest, SizeLimitDropsOldestBeforeAdding) {
  log.InitDispatchLogging(10);
  const uint8_t block[4] = {'a', 'b', 'c', 'd'};
  for (uint32_t i = 1; i <= 3; ++i) log.AddDispatchEntry(dtDispatch, dstWriteCom, i, block, 4);
  EXPECT_EQ(log.EntryCount(), 3u);  // 8 <= 10 before the third
  EXPECT_EQ(log.ByteTotal(), 12u);
  log.AddDispatchEntry(dtTrigger, dstAvail, 0, nullptr, 0);    // 12 > 10: drops entry 1
  log.AddDispatchEntry(dtDispatch, dstWriteCom, 4, block, 4);  // 8: nothing dropped
  EXPECT_EQ(log.EntryCount(), 4u);
  EXPECT_EQ(log.ByteTotal(), 12u);
  const std::string body = DumpLines();
  EXPECT_EQ(body.find("00000001"), std::string::npos);
  EXPECT_NE(body.find("00000002"), std::string::npos);
}

TEST_F(DispatchLogTest, DumpEmptiesAndSecondDumpWritesNothing) {
  log.InitDispatchLogging(0);
  log.AddStringToLog("one");
  DumpLines();
  EXPECT_EQ(log.EntryCount(), 0u);
  EXPECT_TRUE(log.DLoggingOn());
  const std::string second = folder.File("second.log");
  EXPECT_EQ(log.DumpDispatchLog(second, false, false, "COM3"), ecOK);
  EXPECT_FALSE(std::filesystem::exists(second));
}

TEST_F(DispatchLogTest, AppendKeepsEarlierText) {
  const std::string name = folder.File("a.log");
  log.InitDispatchLogging(0);
  log.AddStringToLog("first");
  ASSERT_EQ(log.AppendDispatchLog(name, false, false, "COM1"), ecOK);
  log.AddStringToLog("second");
  ASSERT_EQ(log.AppendDispatchLog(name, false, false, "COM1"), ecOK);
  const std::vector<std::string> lines = Lines(ReadWholeFile(name));
  ASSERT_EQ(lines.size(), 2u * (kHeaderLines + 1));
  EXPECT_TRUE(lines[kHeaderLines].ends_with("first"));
  EXPECT_EQ(lines[kHeaderLines + 1], "RIVU v4.07");
  EXPECT_TRUE(lines.back().ends_with("second"));
}

TEST_F(DispatchLogTest, UnopenableFileKeepsEntries) {
  log.InitDispatchLogging(0);
  log.AddStringToLog("kept");
  EXPECT_EQ(log.DumpDispatchLog(folder.File("missing/x.log"), false, false, "COM1"),
            ecPathNotFound);
  EXPECT_EQ(log.EntryCount(), 1u);
  EXPECT_TRUE(log.DLoggingOn());
}

// A write that fails ends the dump: what was taken is gone, the rest stays
// for another try, and logging goes on.
TEST_F(DispatchLogTest, WriteErrorEndsTheDumpAndKeepsTheRest) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  log.InitDispatchLogging(0);
  for (int i = 0; i < 100; ++i) log.AddStringToLog("entry " + std::to_string(i));
  EXPECT_EQ(log.DumpDispatchLog("/dev/full", false, false, "COM1"), ecDiskFull);
  const std::size_t left = log.EntryCount();
  EXPECT_GT(left, 0u);
  EXPECT_TRUE(log.DLoggingOn());
  const std::string body = DumpLines();
  EXPECT_EQ(std::count(body.begin(), body.end(), '|'), std::ptrdiff_t(left));
  EXPECT_NE(body.find("entry 99|"), std::string::npos);
}

TEST_F(DispatchLogTest, OnOffAndClear) {
  log.AddStringToLog("off");  // logging starts off
  log.InitDispatchLogging(0);
  log.AddStringToLog("a");
  log.StopDispatchLogging();
  log.AddStringToLog("b");
  EXPECT_EQ(log.EntryCount(), 1u);
  log.StartDispatchLogging();
  log.ClearDispatchLogging();
  EXPECT_EQ(log.EntryCount(), 0u);
  log.AddStringToLog("c");
  log.AbortDispatchLogging();
  EXPECT_EQ(log.EntryCount(), 0u);
  EXPECT_FALSE(log.DLoggingOn());
}

TEST_F(DispatchLogTest, ManyThreadsLogWhileDumping) {
  log.InitDispatchLogging(0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 300; ++i) {
        const uint8_t b = static_cast<uint8_t>(i);
        log.AddDispatchEntry(dtDispatch, dstReadCom, static_cast<uint32_t>(t), &b, 1);
      }
    });
  }
  std::size_t lines = 0;
  const std::string name = folder.File("busy.log");
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(log.AppendDispatchLog(name, false, false, "COM1"), ecOK);
  }
  for (auto& t : threads) t.join();
  ASSERT_EQ(log.AppendDispatchLog(name, false, false, "COM1"), ecOK);
  for (const std::string& line : Lines(ReadWholeFile(name)))
    lines += line.find("ReadCom") != std::string::npos;
  EXPECT_EQ(lines, 900u);
}

}  // namespace
