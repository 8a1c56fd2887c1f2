// What the dispatcher writes to its dispatch log as bytes come in.
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
