// Bytes read inside a notification handler are taken when it returns, but
// the trace records them as they are read, whichever call reads them.
#include <atomic>
#include <fstream>
#include <iterator>

#include "tests/serial/port_fixture.h"
#include "tests/serial/temp_folder.h"

TEST(DeferredConsumption, CharsAndBlocksReadInAHandlerAreTraced) {
  TOpenPort P;
  TTempFolder Folder;
  ASSERT_EQ(P.D->Trace().InitTracing(100), 0);
  auto* D = P.D.get();
  std::atomic<bool> Done{false};
  int Key;
  P.D->ChangeLengthTrigger(3);
  P.D->RegisterEventTriggerHandler(&Key, [&](uint32_t Msg, uint32_t, uint32_t) {
    if (Msg != nmTriggerAvail || Done) return;
    uint8_t C;
    D->GetChar(C);
    D->GetChar(C);
    D->GetBlock(&C, 1);
    Done = true;
  });
  P.Pty.Write(Bytes("abc"));
  ASSERT_TRUE(WaitUntil([&] { return Done && P.D->InBuffUsed() == 0; }));
  const std::string Path = Folder.File("trace.txt");
  ASSERT_EQ(P.D->Trace().DumpTrace(Path, false, false), 0);
  std::ifstream In(Path, std::ios::binary);
  const std::string Text((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  EXPECT_EQ(Text, "Receive: \r\nabc\r\n");
}
