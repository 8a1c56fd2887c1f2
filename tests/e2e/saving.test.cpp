// The saving step at the end of a run: what the dialog's answer does to the
// folder, and that a failed save leaves an existing file as it was.
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

#include "tests/e2e/e2e.h"

namespace e2e {

// Readable boxes in failure messages.
void PrintTo(const TBox& box, std::ostream* out) {
  *out << '"' << box.Text << "\" \"" << box.Caption << '"'
       << (box.Buttons == TMsgButtons::mbOK ? " OK" : " OK Cancel");
}

namespace {

// An unprivileged user for the tests that must not run as root.
constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;
// A child's exit status when it could not act as that user.
constexpr int kNoSuchUser = 77;

const Bytes kOld{'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};

mode_t ModeOf(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class TUmask {
 public:
  explicit TUmask(mode_t mask) : old_(::umask(mask)) {}
  TUmask(const TUmask&) = delete;
  TUmask& operator=(const TUmask&) = delete;
  ~TUmask() { ::umask(old_); }

 private:
  mode_t old_;
};

// A view whose first message box fails, as a window can when it cannot
// allocate one.
class TThrowingView : public TRecordingView {
 public:
  TMsgResult MessageBox(std::string_view text, std::string_view caption,
                        TMsgButtons buttons) override {
    const TMsgResult result = TRecordingView::MessageBox(text, caption, buttons);
    if (!thrown_) {
      thrown_ = true;
      throw std::runtime_error("no message box");
    }
    return result;
  }

 private:
  bool thrown_ = false;
};

// Runs Body in a forked child and returns its exit status (-1: it did not
// exit). The child's findings reach the test only through that status.
int InChild(const std::function<int()>& Body) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) ::_exit(Body());
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The one file error box a failed save shows.
std::vector<TBox> FileError(const std::string& text) {
  return {{text, "File Error", TMsgButtons::mbOK}};
}

class SavingTest : public ::testing::Test {
 protected:
  SavingTest() {
    header.fill(0x11);
    header[0] = 'T';
    content.assign(1000, 0x22);
  }

  std::vector<fs::path> Folder(const fs::path& dir = {}) const {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(dir.empty() ? scratch.Root() : dir)) {
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
  // Saves under Name with a view of its own; the boxes it showed.
  std::vector<TBox> SaveTo(const fs::path& name) {
    TRecordingView fresh;
    fresh.SaveAs = name.string();
    fresh.SetSaveFilter("Channels|*.tcn", ".tcn");
    SaveReceivedFile(fresh, header, content);
    EXPECT_EQ(fresh.SaveDialogs(), 1);
    EXPECT_FALSE(OutFile.IsOpen());
    return fresh.Boxes();
  }
  // A folder owned by the unprivileged user, reachable by it, when this is root.
  fs::path SharedFolder() {
    const fs::path dir = scratch.Root() / "shared";
    fs::create_directory(dir);
    if (::geteuid() == 0) {
      fs::permissions(scratch.Root(), fs::perms::others_read | fs::perms::others_exec,
                      fs::perm_options::add);
      EXPECT_EQ(::chown(dir.c_str(), kNobody, kNogroup), 0);
    }
    return dir;
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

// A file this user may not write is reported and left alone, though the
// folder would let a rename replace it. Root may write any file, so as root
// the save runs as an unprivileged user in a folder of its own.
TEST_F(SavingTest, FileThisUserMayNotWriteIsACreateErrorAndStays) {
  const fs::path dir = SharedFolder();
  const fs::path target = dir / "list.tcn";
  Existing(target);
  ::chmod(target.c_str(), 0444);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(target.c_str(), kNobody, kNogroup), 0);
  }
  const int status = InChild([&] {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0)) {
      return kNoSuchUser;
    }
    const fs::path probe = dir / "probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return kNoSuchUser;
    ::close(fd);
    ::unlink(probe.c_str());
    // The folder takes new files, so only the file's own bits can stop the save.
    if (!SaveTo(dir / "new.tcn").empty() || ReadFile(dir / "new.tcn") != Expected()) return 2;
    return SaveTo(target) == FileError("File create error!!!") ? 0 : 1;
  });
  if (status == kNoSuchUser) GTEST_SKIP() << "cannot write a folder as an unprivileged user";
  EXPECT_NE(status, 2) << "the unprivileged user could not save a new file in its folder";
  EXPECT_EQ(status, 0) << "the read-only file was not reported once as a create error";
  EXPECT_EQ(ReadFile(target), kOld);
  EXPECT_EQ(ModeOf(target), 0444u);
  EXPECT_EQ(Folder(dir), std::vector<fs::path>({"list.tcn", "new.tcn"}));
}

// Root writes a read-only file as cp would; the new file is still the old
// one's, with its bits.
TEST_F(SavingTest, RootReplacesAReadOnlyFileKeepingModeAndOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  const fs::path target = scratch.Root() / "list.tcn";
  Existing(target);
  ::chmod(target.c_str(), 0444);
  ASSERT_EQ(::chown(target.c_str(), kNobody, kNogroup), 0);
  EXPECT_TRUE(SaveTo(target).empty());
  EXPECT_EQ(ReadFile(target), Expected());
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_EQ(st.st_uid, kNobody);
  EXPECT_EQ(st.st_gid, kNogroup);
  EXPECT_EQ(Folder().size(), 4u);
}

TEST_F(SavingTest, ModeOfReplacedAndNewFiles) {
  const TUmask mask(027);
  const fs::path kept = scratch.Root() / "kept.tcn";
  Existing(kept);
  ::chmod(kept.c_str(), 0604);  // not what the umask would give
  EXPECT_TRUE(SaveTo(kept).empty());
  EXPECT_EQ(ReadFile(kept), Expected());
  EXPECT_EQ(ModeOf(kept), 0604u);

  // Set-id bits go, as when a file's content is rewritten in place.
  const fs::path setId = scratch.Root() / "setid.tcn";
  Existing(setId);
  ::chmod(setId.c_str(), 04755);
  EXPECT_TRUE(SaveTo(setId).empty());
  EXPECT_EQ(ModeOf(setId), 0755u);

  EXPECT_TRUE(SaveTo(scratch.Root() / "new.tcn").empty());
  EXPECT_EQ(ModeOf(scratch.Root() / "new.tcn"), 0640u);
  EXPECT_EQ(Folder().size(), 6u);
}

// An absolute link, and a chain of relative ones read from their own
// folders: the file at the end is replaced, every link stays as it was.
TEST_F(SavingTest, LinksLeadToTheFileThatIsReplaced) {
  const fs::path data = scratch.Root() / "data";
  const fs::path hop = scratch.Root() / "hop";
  fs::create_directory(data);
  fs::create_directory(hop);
  const fs::path file = data / "real.tcn";
  Existing(file);
  ::chmod(file.c_str(), 0640);

  const fs::path absolute = scratch.Root() / "absolute.tcn";
  fs::create_symlink(file, absolute);
  EXPECT_TRUE(SaveTo(absolute).empty());
  EXPECT_TRUE(fs::is_symlink(absolute));
  EXPECT_EQ(fs::read_symlink(absolute), file);
  EXPECT_EQ(ReadFile(file), Expected());
  EXPECT_EQ(ModeOf(file), 0640u);

  Existing(file);
  const fs::path first = scratch.Root() / "first.tcn";
  fs::create_symlink("hop/second", first);
  fs::create_symlink("../data/real.tcn", hop / "second");
  EXPECT_TRUE(SaveTo(first).empty());
  EXPECT_EQ(fs::read_symlink(first), "hop/second");
  EXPECT_EQ(fs::read_symlink(hop / "second"), "../data/real.tcn");
  EXPECT_EQ(ReadFile(file), Expected());
  EXPECT_EQ(Folder(data), std::vector<fs::path>({"real.tcn"}));
  EXPECT_EQ(Folder(hop), std::vector<fs::path>({"second"}));
}

TEST_F(SavingTest, DanglingLinkCreatesItsTarget) {
  fs::create_directory(scratch.Root() / "data");
  const fs::path link = scratch.Root() / "list.tcn";
  fs::create_symlink("data/made.tcn", link);
  EXPECT_TRUE(SaveTo(link).empty());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(scratch.Root() / "data" / "made.tcn"), Expected());
  EXPECT_EQ(Folder(scratch.Root() / "data"), std::vector<fs::path>({"made.tcn"}));
}

// A name as long as a folder allows, new and replaced: the temporary beside
// it still fits.
TEST_F(SavingTest, LongestNameIsSaved) {
  const fs::path target = scratch.Root() / (std::string(251, 'n') + ".tcn");
  EXPECT_TRUE(SaveTo(target).empty());
  Existing(target);
  EXPECT_TRUE(SaveTo(target).empty());
  EXPECT_EQ(ReadFile(target), Expected());
  EXPECT_EQ(Folder().size(), 4u);
}

// A folder this user may not add to, holding a file it may write: the file
// is rewritten in place (the same file, not a new one); a new name there is
// still a create error. As root the save runs as an unprivileged user.
TEST_F(SavingTest, WritableFileInAFolderThatTakesNoFileIsRewrittenInPlace) {
  const fs::path dir = SharedFolder();
  const fs::path target = dir / "list.tcn";
  Existing(target);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(target.c_str(), kNobody, kNogroup), 0);
  }
  struct stat before {};
  ASSERT_EQ(::stat(target.c_str(), &before), 0);
  ::chmod(dir.c_str(), 0555);
  const int status = InChild([&] {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0)) {
      return kNoSuchUser;
    }
    const int fd = ::open((dir / "probe").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) return kNoSuchUser;  // the folder's bits do not bind this user
    if (SaveTo(dir / "new.tcn") != FileError("File create error!!!")) return 2;
    return SaveTo(target).empty() ? 0 : 1;
  });
  ::chmod(dir.c_str(), 0755);
  if (status == kNoSuchUser) GTEST_SKIP() << "cannot act as a user the folder refuses";
  EXPECT_NE(status, 2) << "a new file in the folder was not a create error";
  EXPECT_EQ(status, 0) << "the writable file was not saved";
  EXPECT_EQ(ReadFile(target), Expected());
  struct stat after {};
  ASSERT_EQ(::stat(target.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(Folder(dir), std::vector<fs::path>({"list.tcn"}));
}

// Names that lead to no file a save could write: each is reported once
// and nothing in the folder changes.
TEST_F(SavingTest, NamesThatAreNoFileAreACreateError) {
  const fs::path dir = scratch.Root() / "dir.tcn";
  fs::create_directory(dir);
  Existing(dir / "inside");
  fs::create_symlink("dir.tcn", scratch.Root() / "to-dir.tcn");
  fs::create_symlink("loop-b.tcn", scratch.Root() / "loop-a.tcn");
  fs::create_symlink("loop-a.tcn", scratch.Root() / "loop-b.tcn");
  const auto before = Folder();

  for (const char* name : {"dir.tcn", "dir.tcn/", "to-dir.tcn", "loop-a.tcn", "new/"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(SaveTo(scratch.Root() / name), FileError("File create error!!!"));
    EXPECT_EQ(Folder(), before);
    EXPECT_EQ(Folder(dir), std::vector<fs::path>({"inside"}));
  }
  EXPECT_EQ(ReadFile(dir / "inside"), kOld);
}

// Under 64 bytes allowed per file, the header itself falls short.
TEST_F(SavingTest, FailedHeaderWriteLeavesTheOldFile) {
  const fs::path target = scratch.Root() / "list.tcn";
  Existing(target);
  const int status = InChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{10, 10};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return SaveTo(target) == FileError("File write error(header)!!!") ? 0 : 1;
  });
  EXPECT_EQ(status, 0) << "the child did not report one header write error";
  EXPECT_EQ(ReadFile(target), kOld);
  EXPECT_EQ(Folder().size(), 4u);
}

// Whatever throws while saving, the file is closed and the user told.
TEST_F(SavingTest, ExceptionWhileSavingIsReported) {
  const fs::path dir = scratch.Root() / "dir.tcn";
  fs::create_directory(dir);
  TThrowingView throwing;
  throwing.SaveAs = dir.string();
  throwing.SetSaveFilter("Channels|*.tcn", ".tcn");
  SaveReceivedFile(throwing, header, content);
  EXPECT_FALSE(OutFile.IsOpen());
  EXPECT_EQ(
      throwing.Boxes(),
      std::vector<TBox>({{"File create error!!!", "File Error", TMsgButtons::mbOK},
                         {"Problem writing to file.", "File Error", TMsgButtons::mbOKCancel}}));
  EXPECT_TRUE(fs::is_empty(dir));
  EXPECT_EQ(Folder().size(), 4u);
}

}  // namespace
}  // namespace e2e
