// zedazi-boxsim as a child process: its COM link, its output, its exit.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/boxsim/scripted_tool.h"
#include "tests/e2e/child_process.h"

extern char** environ;

namespace boxsim::testing {
namespace {

namespace fs = std::filesystem;

// The program with its stdout on a pipe; killed if the test ends early.
class Program {
 public:
  Program(const std::vector<std::string>& args, const fs::path& config) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    output_.Reset(fds[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<std::string> env{"XDG_CONFIG_HOME=" + config.string(), "HOME=/nonexistent"};
    std::vector<char*> argv{const_cast<char*>(BOXSIM_PROGRAM)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, BOXSIM_PROGRAM, &actions, nullptr, argv.data(), envp.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }

  // The next output line, or empty at the end of output.
  std::string Line() {
    std::string line;
    char c;
    while (::read(output_.Get(), &c, 1) == 1) {
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }
  // The first line starting with `prefix`, its rest.
  std::string LineAfter(const std::string& prefix) {
    for (int i = 0; i < 1000; ++i) {
      const std::string line = Line();
      if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
      if (line.empty()) break;
    }
    return {};
  }
  void Signal(int sig) { ::kill(pid_, sig); }
  pid_t Pid() const { return pid_; }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  // As Wait, but nothing if the program is still running at the timeout.
  std::optional<int> WaitFor(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(10ms);
    }
  }

 private:
  pid_t pid_ = -1;
  UniqueFd output_;
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/boxsim-test-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    folder_ = name;
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

TEST_F(ProgramTest, ComLinkIsCreatedAndRemovedOnTerminate) {
  const fs::path link = folder_ / "zedazi" / "ports" / "com7";
  Program program({"--com", "7", "--baud", "0"}, folder_);
  const std::string slave = program.LineAfter("Serving on ");
  ASSERT_FALSE(slave.empty());
  ASSERT_FALSE(program.LineAfter("COM7: ").empty());
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), slave);

  ScriptedTool tool(link.string());  // the link leads to the box
  EXPECT_EQ(tool.Read(3), Bytes(kGreeting.begin(), kGreeting.end()));

  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(ProgramTest, OnceServesOneDownloadPrintsItAndExits) {
  const fs::path link = folder_ / "line";
  Program program({"--link", link.string(), "--once", "--baud", "0", "--packet-size", "4000",
                   "--fault", "corrupt=0"},
                  folder_);
  ASSERT_FALSE(program.LineAfter("Link: ").empty());
  {
    ScriptedTool tool(link.string());
    ASSERT_TRUE(tool.Begin(ContentType::ctNetConfig));
    EXPECT_EQ(tool.ReceiveAll(), SampleContent(ContentType::ctNetConfig));
    EXPECT_EQ(tool.Read(4).size(), 4u);
  }  // the box ends once the tool has closed its port

  std::string output, line;
  while (!(line = program.Line()).empty()) output += line + "\n";
  for (const char* expected :
       {"<- UP_REQUEST (AB 55 70 0A), type NET Config", "-> packet 000 send 2",
        "<- PACKET_REPEAT for packet 000", "-> END_MARKER", "download completed"}) {
    EXPECT_NE(output.find(expected), std::string::npos) << expected << "\n" << output;
  }
  EXPECT_EQ(program.Wait(), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

// A box on an existing line: the test holds the master of a pair, the
// program serves its slave as it would a second adapter.
TEST_F(ProgramTest, DeviceServesAnExistingLineAndEndsWithTheDownload) {
  PtyPair pair = OpenPty();
  pair.slave.Reset();  // only the program holds the slave now
  Program program({"--device", pair.slavePath, "--once", "--baud", "115200"}, folder_);
  EXPECT_EQ(program.LineAfter("Serving on "), pair.slavePath);
  {
    ScriptedTool tool(std::move(pair.master));
    ASSERT_TRUE(tool.Begin(ContentType::ctNetConfig));
    EXPECT_EQ(tool.ReceiveAll(), SampleContent(ContentType::ctNetConfig));
    EXPECT_EQ(tool.Read(4).size(), 4u);
    // Nothing tells the box when a device's far end closes: it ends at once.
    EXPECT_EQ(program.WaitFor(10s), 0);
  }
}

TEST_F(ProgramTest, DeviceMustBeATerminalAtARateItHas) {
  const fs::path plain = folder_ / "plain";
  std::ofstream(plain) << "no tty";
  Program notTty({"--device", plain.string()}, folder_);
  EXPECT_EQ(notTty.Wait(), 1);
  PtyPair pair = OpenPty();
  Program oddRate({"--device", pair.slavePath, "--baud", "12345"}, folder_);
  EXPECT_EQ(oddRate.Wait(), 1);
  Program withLink({"--device", pair.slavePath, "--com", "3"}, folder_);
  EXPECT_EQ(withLink.Wait(), 2);
}

TEST_F(ProgramTest, RefusesBadOptions) {
  for (const char* bad : {"--com=0", "--fault"}) {
    Program program({bad}, folder_);
    EXPECT_EQ(program.Wait(), 2);
  }
  Program program({"--com", "51"}, folder_);
  EXPECT_EQ(program.Wait(), 2);
}

// Until the program has let go of its own hold on `slave`: from then on it
// only waits for the tool.
bool AwaitsTheTool(const Program& program, const fs::path& slave) {
  // Without throwing when the program exits meanwhile.
  const auto holds = [&] {
    std::error_code ec;
    fs::directory_iterator fd("/proc/" + std::to_string(program.Pid()) + "/fd", ec);
    for (; !ec && fd != fs::directory_iterator(); fd.increment(ec)) {
      std::error_code linkEc;
      if (fs::read_symlink(fd->path(), linkEc) == slave) return true;
    }
    return false;
  };
  for (const auto deadline = std::chrono::steady_clock::now() + 20s; holds();) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// The demo: the box with --once and a whole download by the receiver, which
// never sees the box vanish and closes its port first; the box goes then.
TEST_F(ProgramTest, OnceOutlastsTheReceiversPortAndEndsRightAfterIt) {
  const fs::path link = folder_ / "line";
  Program program({"--link", link.string(), "--once"}, folder_);
  const fs::path slave = program.LineAfter("Serving on ");
  ASSERT_FALSE(program.LineAfter("Link: ").empty());
  e2e::TChild recv(RECV_PROGRAM,
                   {"--port", link.string(), "--type", "net", "-o", (folder_ / "out").string()});
  std::optional<std::string> line;
  while ((line = recv.Line()) && *line != "Communication END OK ...") {
  }
  ASSERT_TRUE(line) << "the download did not end";
  // The receiver saving to a slow disk, its port still open, while the box
  // is done and past its drain.
  recv.Signal(SIGSTOP);
  ASSERT_TRUE(AwaitsTheTool(program, slave));
  recv.Signal(SIGCONT);
  EXPECT_EQ(recv.RestOfLines(), std::vector<std::string>{"Download task terminated!!!"});
  EXPECT_EQ(recv.Wait(), 0) << recv.Stderr();
  EXPECT_EQ(recv.Stderr().find("Error"), std::string::npos) << recv.Stderr();
  // Its own bound is 5 s; the closed port ends it well before.
  EXPECT_EQ(program.WaitFor(4s), 0) << "the box did not notice the port closing";
}

// A tool that keeps its port open after the download: the box waits for it
// only a few seconds, and not at all once it is told to stop.
TEST_F(ProgramTest, OnceWaitsForTheToolOnlySoLong) {
  for (const bool signalled : {false, true}) {
    SCOPED_TRACE(signalled ? "SIGTERM" : "bound");
    const fs::path link = folder_ / "line";
    Program program({"--link", link.string(), "--once", "--baud", "0"}, folder_);
    const fs::path slave = program.LineAfter("Serving on ");
    ASSERT_FALSE(program.LineAfter("Link: ").empty());
    ScriptedTool tool(link.string());
    ASSERT_TRUE(tool.Begin(ContentType::ctNetConfig));
    EXPECT_EQ(tool.ReceiveAll(), SampleContent(ContentType::ctNetConfig));
    ASSERT_EQ(tool.Read(kWordSize).size(), kWordSize);
    ASSERT_TRUE(AwaitsTheTool(program, slave));
    if (signalled) {
      program.Signal(SIGTERM);
      EXPECT_EQ(program.WaitFor(4s), 0) << "the signal did not end the wait";
    } else {
      EXPECT_TRUE(tool.Quiet(500ms));
      EXPECT_FALSE(tool.HungUp());
      EXPECT_EQ(program.WaitFor(20s), 0) << "the box waits for the tool without end";
      tool.Read(1, 5s);
      EXPECT_TRUE(tool.HungUp());
    }
  }
}

}  // namespace
}  // namespace boxsim::testing
