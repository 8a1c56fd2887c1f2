// zedazi-boxsim as a child process: its COM link, its output, its exit.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/boxsim/scripted_tool.h"

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
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
  ScriptedTool tool(link.string());
  ASSERT_TRUE(tool.Begin(ContentType::ctNetConfig));
  EXPECT_EQ(tool.ReceiveAll(), SampleContent(ContentType::ctNetConfig));
  EXPECT_EQ(tool.Read(4).size(), 4u);

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

TEST_F(ProgramTest, RefusesBadOptions) {
  for (const char* bad : {"--com=0", "--fault"}) {
    Program program({bad}, folder_);
    EXPECT_EQ(program.Wait(), 2);
  }
  Program program({"--com", "51"}, folder_);
  EXPECT_EQ(program.Wait(), 2);
}

}  // namespace
}  // namespace boxsim::testing
