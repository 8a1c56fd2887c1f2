// zedazi-recv --list-ports and the refusal of a device this user may not open,
// with pseudo-terminals standing in for the devices. The refusals are real:
// as root the test hands the device to a group and runs the receiver as an
// unprivileged user through setpriv.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "tests/e2e/child_process.h"
#include "tests/e2e/e2e.h"
#include "tests/support/wait_until.h"

namespace e2e {
namespace {

using port_scratch::TPty;

class ListPortsTest : public ::testing::Test {
 protected:
  ListPortsTest() {
    // Readable by the unprivileged user too.
    fs::create_directories(Links());
    for (const fs::path& p : {scratch.Root(), Config(), Config() / "zedazi", Links()})
      fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
  }

  fs::path Config() const { return scratch.Root() / "config"; }
  fs::path Links() const { return Config() / "zedazi" / "ports"; }

  // zedazi-recv's output and exit code; `as` runs it through setpriv first.
  struct TRun {
    int code;
    std::string out;
    std::string err;
  };
  TRun Run(std::vector<std::string> args, std::vector<std::string> as = {}) {
    TChildOptions options;
    options.env.push_back("XDG_CONFIG_HOME=" + Config().string());
    std::string program = RECV_PROGRAM;
    if (!as.empty()) {
      as.push_back(program);
      args.insert(args.begin(), as.begin(), as.end());
      program = "/usr/bin/setpriv";
    }
    TChild child(program, args, options);
    std::string out;
    for (const std::string& line : child.RestOfLines()) out += line + "\n";
    const int code = child.Wait();
    return {code, out, child.Stderr()};
  }

  // The lines of the listing that belong to COMn (its own and the indented
  // ones), each run of blanks between the columns made one.
  static std::string Block(const std::string& Listing, unsigned N) {
    std::string block = RawBlock(Listing, N);
    std::string out;
    for (size_t i = 0; i < block.size(); ++i) {
      const bool column = i > 0 && block[i - 1] != '\n' && block[i - 1] != ' ';
      if (block[i] == ' ' && column) {
        while (i + 1 < block.size() && block[i + 1] == ' ') ++i;
      }
      out += block[i];
    }
    return out;
  }
  static std::string RawBlock(const std::string& Listing, unsigned N) {
    const std::string head = "COM" + std::to_string(N) + " ";
    size_t at = Listing.rfind(head, 0) == 0 ? 0 : Listing.find("\n" + head);
    if (at == std::string::npos) return {};
    if (at > 0) ++at;
    size_t end = Listing.find("\nCOM", at);
    return Listing.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
  }

  port_scratch::TScratch scratch;
};

TEST_F(ListPortsTest, ListsEachNumberWithItsDeviceAndWhoHoldsIt) {
  TPty free, held;
  fs::create_symlink(free.Path(), Links() / "com2");
  fs::create_symlink(held.Path(), Links() / "com44");
  fs::create_symlink(scratch.Root() / "gone", Links() / "com45");
  // Its own process group: the sleep it starts goes with it.
  TChildOptions own;
  own.ownGroup = true;
  TChild holder("/usr/bin/flock", {"-o", held.Path(), "/bin/sleep", "60"}, own);
  ASSERT_TRUE(holder.Started());

  const std::string flock = "flock (pid " + std::to_string(holder.Pid()) + ")";
  TRun run;
  ASSERT_TRUE(WaitUntil([&] {
    run = Run({"--list-ports"});
    return Block(run.out, 44).find(flock) != std::string::npos;
  })) << run.out;
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(Block(run.out, 2), "COM2 " + free.Path() + " free\n") << run.out;
  // This process keeps a descriptor of each pseudo-terminal too.
  EXPECT_EQ(Block(run.out, 44), "COM44 " + held.Path() + " held by " +
                                    program_invocation_short_name + " (pid " +
                                    std::to_string(::getpid()) + ") and " + flock + "\n")
      << run.out;
  EXPECT_NE(Block(run.out, 45).find("no device"), std::string::npos) << run.out;
}

// A port another program holds: the open error names it, however the port
// was named.
TEST_F(ListPortsTest, HeldPortsOpenErrorNamesItsHolder) {
  TPty held;
  fs::create_symlink(held.Path(), Links() / "com44");
  TChildOptions own;
  own.ownGroup = true;
  TChild holder("/usr/bin/flock", {"-o", held.Path(), "/bin/sleep", "60"}, own);
  ASSERT_TRUE(holder.Started());
  const std::string flock = "flock (pid " + std::to_string(holder.Pid()) + ")";
  for (const std::string& port : {std::string("COM44"), held.Path()}) {
    SCOPED_TRACE(port);
    TRun run;
    ASSERT_TRUE(WaitUntil([&] {
      run = Run({"--port", port, "--type", "channels"});
      return run.err.find(flock) != std::string::npos;
    })) << run.err;
    EXPECT_EQ(run.code, 3);
    EXPECT_NE(run.err.find("cannot open " + port + ": ie_Open - device already open, held by "),
              std::string::npos)
        << run.err;
  }
}

class RefusedDeviceTest : public ListPortsTest {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "handing a device to a group needs root";
    if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no setpriv";
    if (!::getgrnam("dialout")) GTEST_SKIP() << "no group dialout";
    fs::create_symlink(line.Path(), Links() / "com3");
  }

  void Give(gid_t Group, mode_t Mode) {
    ASSERT_EQ(::chown(line.Path().c_str(), 0, Group), 0);
    ASSERT_EQ(::chmod(line.Path().c_str(), Mode), 0);
  }

  const std::vector<std::string> nobody{"--reuid=65534", "--regid=65534", "--clear-groups"};
  TPty line;
};

TEST_F(RefusedDeviceTest, AdviceFitsTheDevicesGroupAndMode) {
  const gid_t dialout = ::getgrnam("dialout")->gr_gid;

  Give(0, 0600);
  TRun run = Run({"--list-ports"}, nobody);
  std::string block = Block(run.out, 3);
  EXPECT_EQ(block.rfind("COM3 " + line.Path() + " not permitted (group root)\n", 0), 0u) << run.out;
  EXPECT_NE(
      block.find("KERNEL==\"" + line.Path().substr(5) + "\", GROUP=\"dialout\", MODE=\"0660\""),
      std::string::npos)
      << block;
  EXPECT_EQ(block.find("-aG root"), std::string::npos) << block;

  // The same text when a download is refused, the device named once.
  run = Run({"--port", "COM3", "--type", "channels"}, nobody);
  EXPECT_EQ(run.code, 3);
  EXPECT_NE(run.err.find("GROUP=\"dialout\", MODE=\"0660\""), std::string::npos) << run.err;
  run = Run({"--port", line.Path(), "--type", "channels"}, nobody);
  EXPECT_EQ(run.code, 3);
  EXPECT_EQ(run.err.find(line.Path()), run.err.rfind(line.Path())) << run.err;

  Give(dialout, 0660);
  run = Run({"--list-ports"}, nobody);
  block = Block(run.out, 3);
  EXPECT_NE(block.find("not permitted (group dialout)"), std::string::npos) << run.out;
  EXPECT_NE(block.find("Add yourself with \"sudo usermod -aG dialout $USER\", then log in again"),
            std::string::npos)
      << block;
  EXPECT_EQ(block.find("udev"), std::string::npos) << block;

  run = Run({"--list-ports"},
            {"--reuid=65534", "--regid=65534", "--groups=" + std::to_string(dialout)});
  EXPECT_EQ(Block(run.out, 3), "COM3 " + line.Path() + " free\n") << run.out;
}

}  // namespace
}  // namespace e2e
