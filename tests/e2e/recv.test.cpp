// zedazi-recv as a child process against the simulated box: its exit codes,
// its output (the task's log lines and nothing else on stdout), Ctrl-C, and
// the ways to name the port.
#include "tests/e2e/child_process.h"
#include "tests/e2e/e2e.h"

namespace e2e {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

class RecvTest : public ::testing::Test {
 protected:
  RecvTest() { fs::create_directories(Out()); }

  fs::path Out() const { return scratch.Root() / "out"; }

  // A box with one packet of content: the program's real pauses stay short.
  void StartBox(std::initializer_list<const char*> faults = {}) {
    box = std::make_unique<boxsim::BoxSimulator>(WithFaults(faults, QuickBox(1000, 1000)));
  }

  std::unique_ptr<TChild> Recv(std::vector<std::string> args, TChildOptions options = {}) {
    // The user's own port links stay out of it.
    options.env.push_back("XDG_CONFIG_HOME=" + (scratch.Root() / "config").string());
    if (options.cwd.empty()) options.cwd = Out().string();
    auto child = std::make_unique<TChild>(RECV_PROGRAM, args, options);
    EXPECT_TRUE(child->Started());
    return child;
  }

  port_scratch::TScratch scratch;
  std::unique_ptr<boxsim::BoxSimulator> box;
};

const Lines kGoodRun = Concat({{kStart, kInit}, OkLines(0, 0), {kEnd, kDone}});

TEST_F(RecvTest, DownloadsFromADevicePath) {
  StartBox();
  auto recv = Recv({"--port", box->SlavePath(), "--type", "data", "--output", "area.dat"});
  EXPECT_EQ(recv->RestOfLines(), kGoodRun);
  EXPECT_EQ(recv->Wait(), 0) << recv->Stderr();
  EXPECT_EQ(ReadFile(Out() / "area.dat"), box->ExpectedFile(ContentType::ctData));
  EXPECT_NE(recv->Stderr().find("Wrote area.dat"), std::string::npos) << recv->Stderr();
}

TEST_F(RecvTest, DownloadsFromAComNumberWithTheTypesExtension) {
  StartBox();
  const fs::path ports = scratch.Root() / "config" / "zedazi" / "ports";
  fs::create_directories(ports);
  fs::create_symlink(box->SlavePath(), ports / "com7");
  auto recv = Recv({"--port", "COM7", "--type", "channels", "-o", "list", "--quiet"});
  EXPECT_EQ(recv->RestOfLines(), kGoodRun);
  EXPECT_EQ(recv->Wait(), 0) << recv->Stderr();
  EXPECT_EQ(ReadFile(Out() / "list.tcn"), box->ExpectedFile(ContentType::ctChannels));
}

TEST_F(RecvTest, RefusalExitsWithOne) {
  StartBox({"refuse-request"});
  auto recv = Recv({"--port", box->SlavePath(), "--type", "logo"});
  EXPECT_EQ(recv->RestOfLines(), Lines({kStart, kInit, "Bad STB response! Aborting...", kDone}));
  EXPECT_EQ(recv->Wait(), 1);
  EXPECT_NE(recv->Stderr().find("Error: Bad STB response! Aborting ..."), std::string::npos)
      << recv->Stderr();
  EXPECT_TRUE(fs::is_empty(Out()));
}

TEST_F(RecvTest, CtrlCWhileWaitingForTheBoxEndsByTheSignal) {
  StartBox({"silence"});
  auto recv = Recv({"--port", box->SlavePath(), "--type", "net"});
  ASSERT_EQ(recv->Line(), kStart);
  recv->Signal(SIGINT);
  EXPECT_EQ(recv->RestOfLines(), Lines({kDone}));
  recv->Wait();
  EXPECT_EQ(recv->TermSignal(), SIGINT) << recv->Stderr();
  EXPECT_TRUE(fs::is_empty(Out()));
}

// After its clean-up the program dies by the signal that stopped it, so
// whoever runs it can tell a stop from a failure.
TEST_F(RecvTest, StopSignalMidDownloadEndsByThatSignal) {
  for (const int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(sig);
    // Four packets: the program's real pauses leave seconds to stop it in.
    box = std::make_unique<boxsim::BoxSimulator>(QuickBox(4000, 1000));
    auto recv = Recv({"--port", box->SlavePath(), "--type", "data", "-o", "area.dat"});
    ASSERT_EQ(recv->Line(), kStart);
    ASSERT_EQ(recv->Line(), kInit);
    ASSERT_EQ(recv->Line(), PacketLine(0, true));
    recv->Signal(sig);
    const Lines rest = recv->RestOfLines();
    ASSERT_FALSE(rest.empty());
    EXPECT_EQ(rest.back(), kDone);
    EXPECT_EQ(std::count(rest.begin(), rest.end(), kEnd), 0);
    recv->Wait();
    EXPECT_EQ(recv->TermSignal(), sig) << recv->Stderr();
    EXPECT_EQ(recv->Stderr().find("Error:"), std::string::npos) << recv->Stderr();
    EXPECT_TRUE(fs::is_empty(Out()));
  }
}

// The file is saved right after the last packet's line: a stop from then
// on, whenever it lands, lets the save complete and the program succeed.
TEST_F(RecvTest, StopOnceSavingBeganStillWritesTheFileAndExitsZero) {
  StartBox();
  auto recv = Recv({"--port", box->SlavePath(), "--type", "data", "-o", "area.dat"});
  for (const std::string& line : {kStart, kInit, PacketLine(0, true), kEnd}) {
    ASSERT_EQ(recv->Line(), line);
  }
  recv->Signal(SIGINT);
  EXPECT_EQ(recv->RestOfLines(), Lines({kDone}));
  EXPECT_EQ(recv->Wait(), 0) << recv->Stderr();
  EXPECT_EQ(recv->TermSignal(), 0);
  EXPECT_EQ(ReadFile(Out() / "area.dat"), box->ExpectedFile(ContentType::ctData));
}

// Ctrl-C reaches the whole job; a shell that sees its command die by it
// stops the loop, where a command that merely failed would let it go on.
TEST_F(RecvTest, CtrlCStopsAShellLoop) {
  if (::access("/bin/bash", X_OK) != 0) GTEST_SKIP() << "no /bin/bash";
  box = std::make_unique<boxsim::BoxSimulator>(QuickBox(4000, 1000));
  TChildOptions options;
  options.ownGroup = true;
  options.env.push_back("XDG_CONFIG_HOME=" + (scratch.Root() / "config").string());
  options.cwd = Out().string();
  const std::string loop =
      R"(for t in data logo; do "$0" --port "$1" --type $t --idle-timeout 5 || true; done)";
  TChild shell("/bin/bash", {"-c", loop, RECV_PROGRAM, box->SlavePath()}, options);
  ASSERT_TRUE(shell.Started());
  ASSERT_EQ(shell.Line(), kStart);
  ASSERT_EQ(shell.Line(), kInit);
  ASSERT_EQ(shell.Line(), PacketLine(0, true));
  shell.SignalGroup(SIGINT);
  const Lines rest = shell.RestOfLines();
  EXPECT_EQ(std::count(rest.begin(), rest.end(), kStart), 0) << "the loop went on";
  ASSERT_FALSE(rest.empty());
  EXPECT_EQ(rest.back(), kDone);
  shell.Wait();
  EXPECT_EQ(shell.TermSignal(), SIGINT) << shell.Stderr();
  EXPECT_TRUE(fs::is_empty(Out()));
}

TEST_F(RecvTest, UnwritableOutputExitsWithFour) {
  StartBox();
  auto recv = Recv({"--port", box->SlavePath(), "--type", "channels", "--output",
                    (scratch.Root() / "missing" / "list.tcn").string()});
  EXPECT_EQ(recv->RestOfLines(), kGoodRun);
  EXPECT_EQ(recv->Wait(), 4);
  EXPECT_NE(recv->Stderr().find("File Error: File create error!!!"), std::string::npos)
      << recv->Stderr();
}

TEST_F(RecvTest, PortThatCannotOpenExitsWithThree) {
  for (const char* port : {"/nonexistent/ttyUSB9", "COM49"}) {
    SCOPED_TRACE(port);
    auto recv = Recv({"--port", port, "--type", "channels"});
    EXPECT_TRUE(recv->RestOfLines().empty());
    EXPECT_EQ(recv->Wait(), 3);
    EXPECT_NE(recv->Stderr().find("cannot open"), std::string::npos) << recv->Stderr();
  }
}

TEST_F(RecvTest, MisuseExitsWithTwo) {
  const std::vector<std::vector<std::string>> misuses{
      {},
      {"--type", "channels"},
      {"--port", "COM1"},
      {"--port", "COM1", "--type", "music"},
      {"--port", "COM1", "--type", "channels", "--idle-timeout", "0"},
      {"--port", "COM1", "--type", "channels", "--bogus"},
      {"--port"}};
  for (const auto& args : misuses) {
    auto recv = Recv(args);
    EXPECT_TRUE(recv->RestOfLines().empty());
    EXPECT_EQ(recv->Wait(), 2);
    EXPECT_NE(recv->Stderr().find("Usage: zedazi-recv"), std::string::npos);
  }
}

TEST_F(RecvTest, HelpAndVersion) {
  auto help = Recv({"--help"});
  const Lines lines = help->RestOfLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind("Usage: zedazi-recv", 0), 0u);
  EXPECT_EQ(help->Wait(), 0);
  auto version = Recv({"--version"});
  EXPECT_EQ(version->RestOfLines(), Lines({"zedazi-recv 1.30"}));
  EXPECT_EQ(version->Wait(), 0);
}

// A box announcing 4 GiB with 1000 bytes of content: the receiver keeps to
// what arrives, even with its address space limited.
TEST_F(RecvTest, HugeAnnouncementKeepsMemorySmall) {
  StartBox({"huge-total"});
  TChildOptions options;
  if (!kSanitized) options.addressSpace = rlim_t{1} << 30;
  auto recv = Recv({"--port", box->SlavePath(), "--type", "channels", "-o", "big.tcn"}, options);
  EXPECT_EQ(recv->RestOfLines(), kGoodRun);
  EXPECT_EQ(recv->Wait(), 0) << recv->Stderr();
  EXPECT_EQ(fs::file_size(Out() / "big.tcn"), 64u + 1000u);
  if (!kSanitized) {
    EXPECT_LT(recv->MaxRssKiB(), 30 * 1024);
  }
}

}  // namespace
}  // namespace e2e
