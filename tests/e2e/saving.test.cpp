// The saving step at the end of a run: what the dialog's answer does to the
// folder, and that a failed save leaves an existing file as it was.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "tests/e2e/e2e.h"

namespace e2e {
namespace {

class SavingTest : public ::testing::Test {
 protected:
  SavingTest() {
    header.fill(0x11);
    header[0] = 'T';
    content.assign(1000, 0x22);
  }

  std::vector<fs::path> Folder() const {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(scratch.Root())) {
      names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  void Existing(const fs::path& path) { std::ofstream(path, std::ios::binary) << "old file"; }
  void Save() {
    view.SetSaveFilter("Channels|*.tcn", ".tcn");
    SaveReceivedFile(view, header, content);
    EXPECT_EQ(view.SaveDialogs(), 1);
    EXPECT_FALSE(OutFile.IsOpen());
  }
  Bytes Expected() const {
    Bytes bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), content.begin(), content.end());
    return bytes;
  }

  port_scratch::TScratch scratch;
  TRecordingView view;
  ResponseHeader header{};
  Bytes content;
};

TEST_F(SavingTest, CancelWritesNothing) {
  Existing(scratch.Root() / "list.tcn");
  view.SaveAs.reset();
  Save();
  EXPECT_EQ(ReadFile(scratch.Root() / "list.tcn"), Bytes({'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'}));
  EXPECT_EQ(Folder().size(), 4u);  // links, dev, sys and the old file
  EXPECT_TRUE(view.Boxes().empty());
}

TEST_F(SavingTest, MissingFolderIsACreateErrorOnce) {
  view.SaveAs = (scratch.Root() / "no-such-folder" / "list.tcn").string();
  Save();
  EXPECT_EQ(view.Boxes(),
            std::vector<TBox>({{"File create error!!!", "File Error", TMsgButtons::mbOK}}));
  EXPECT_FALSE(fs::exists(scratch.Root() / "no-such-folder"));
  EXPECT_TRUE(view.LinesSeen().empty());
}

TEST_F(SavingTest, ExistingFileIsReplacedWithoutAQuestion) {
  Existing(scratch.Root() / "list.tcn");
  view.SaveAs = (scratch.Root() / "list.tcn").string();
  Save();
  EXPECT_TRUE(view.Boxes().empty());
  EXPECT_EQ(ReadFile(scratch.Root() / "list.tcn"), Expected());
  EXPECT_EQ(Folder().size(), 4u);  // no temporary left behind
}

TEST_F(SavingTest, NameWithoutExtensionGetsTheTypes) {
  view.SaveAs = (scratch.Root() / "list").string();
  Save();
  EXPECT_EQ(ReadFile(scratch.Root() / "list.tcn"), Expected());

  EXPECT_EQ(WithDefaultExt("list", ".tcn"), "list.tcn");
  EXPECT_EQ(WithDefaultExt("list.bak", ".tcn"), "list.bak");
  EXPECT_EQ(WithDefaultExt(".hidden", ".tcn"), ".hidden.tcn");
  EXPECT_EQ(WithDefaultExt("v1.2/list", ".logo"), "v1.2/list.logo");
  EXPECT_EQ(WithDefaultExt("list", ""), "list");
}

// A write that falls short (here a file size limit in a child process) must
// leave the file that was there untouched and no temporary behind.
TEST_F(SavingTest, FailedWriteLeavesTheOldFile) {
  const fs::path target = scratch.Root() / "list.tcn";
  Existing(target);
  view.SaveAs = target.string();
  view.SetSaveFilter("Channels|*.tcn", ".tcn");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100, 100};  // the header fits, the content does not
    ::setrlimit(RLIMIT_FSIZE, &limit);
    SaveReceivedFile(view, header, content);
    const auto boxes = view.Boxes();
    const bool expected = boxes.size() == 1 && boxes[0].Text == "File write error(data)!!!" &&
                          boxes[0].Caption == "File Error";
    ::_exit(expected ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child did not report one data write error";
  EXPECT_EQ(ReadFile(target), Bytes({'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'}));
  EXPECT_EQ(Folder().size(), 4u);
}

}  // namespace
}  // namespace e2e
