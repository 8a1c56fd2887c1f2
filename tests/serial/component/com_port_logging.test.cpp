// The com port component's trace and dispatch log, over a pseudo-terminal
// linked as COM3.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "serial/component/com_port.h"
#include "serial/errors/exceptions.h"
#include "serial/ports/port_map.h"
#include "tests/serial/port_scratch.h"
#include "tests/support/pty_pair.h"

namespace {

std::string ReadAll(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), {}};
}

class ComPortLoggingTest : public ::testing::Test {
 protected:
  ComPortLoggingTest() {
    TPortMapConfig Config;
    Config.LinksDir = Scratch.Links();
    Config.DevDir = Scratch.Dev();
    Config.SysTtyDir = Scratch.Sys();
    Config.HasHardware = [](const std::string&, const TPortMapConfig&) { return false; };
    SetPortMapConfig(Config);
    Scratch.Link("com3", Pty.SlavePath());
    Port.SetComNumber(3);
    Port.SetTraceName(TracePath.string());
    Port.SetLogName(LogPath.string());
  }
  ~ComPortLoggingTest() override { ResetPortMapConfig(); }

  port_scratch::TScratch Scratch;
  TPtyPair Pty;
  TPlainPlatform Platform;
  const std::filesystem::path TracePath = Scratch.Root() / "RIVU.TRC";
  const std::filesystem::path LogPath = Scratch.Root() / "RIVU.LOG";
  TRivuComPort Port{nullptr, &Platform};
};

// A log asked for before the open runs from the open and is written at the
// close, named after its port; one started and dumped while open is not
// written again.
TEST_F(ComPortLoggingTest, TheLogIsWrittenAtCloseOrWhenDumped) {
  Port.SetLogging(tlOn);
  Port.SetOpen(true);
  Port.PutBlock("AT\r", 3);
  Port.SetOpen(false);
  const std::string Closing = ReadAll(LogPath);
  EXPECT_NE(Closing.find("\r\nDevice: COM3\r\n"), std::string::npos) << Closing;
  EXPECT_NE(Closing.find("Dispatch  WriteCom      00000003  AT[0D]\r\n"), std::string::npos)
      << Closing;
  EXPECT_EQ(Port.Logging(), tlOff);

  std::filesystem::remove(LogPath);
  Port.SetOpen(true);
  Port.InitLogging(0);
  EXPECT_EQ(Port.Logging(), tlOn);
  Port.PutBlock("x", 1);
  const auto Dumped = Scratch.Root() / "dumped.log";
  Port.DumpLog(Dumped.string(), true);
  EXPECT_EQ(Port.Logging(), tlOff);
  EXPECT_NE(ReadAll(Dumped).find("WriteCom      00000001  x\r\n"), std::string::npos);
  Port.SetOpen(false);
  EXPECT_FALSE(std::filesystem::exists(LogPath));
}

// A trace or log that cannot be written at the close does not keep the port
// open: it closes, and the failure is raised afterwards.
TEST_F(ComPortLoggingTest, AFileThatCannotBeWrittenStillLetsThePortClose) {
  Port.SetTraceName((Scratch.Root() / "missing" / "RIVU.TRC").string());
  Port.SetTracing(tlOn);
  Port.SetLogging(tlOn);
  Port.SetOpen(true);
  Port.PutBlock("AT\r", 3);
  EXPECT_THROW(Port.SetOpen(false), EInOutError);
  EXPECT_FALSE(Port.Open());
  EXPECT_EQ(Port.PortState(), psClosed);
  EXPECT_EQ(Port.Tracing(), tlOff);                               // the trace is gone with its file
  EXPECT_NE(ReadAll(LogPath).find("AT[0D]"), std::string::npos);  // the log was still written
  Port.SetOpen(true);
  EXPECT_TRUE(Port.Open());
}

// After a dump that failed, the log still records and says so: tlOff ends it.
TEST_F(ComPortLoggingTest, AFailedDumpLeavesTheStateWithTheRecorder) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Port.SetOpen(true);
  Port.InitLogging(0);
  Port.PutBlock("AT\r", 3);
  EXPECT_THROW(Port.DumpLog("/dev/full", false), EInOutError);
  EXPECT_EQ(Port.Logging(), tlOn);
  Port.SetLogging(tlOff);
  Port.PutBlock("more", 4);
  Port.SetOpen(false);
  EXPECT_FALSE(std::filesystem::exists(LogPath));
}

}  // namespace
