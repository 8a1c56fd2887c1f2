// The Win32 translations and platform files that need no serial device.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "download/task_state.h"
#include "serial/dispatcher/device_layer.h"
#include "serial/errors/platform_error_text.h"
#include "serial/errors/port_error_numbers.h"
#include "serial/ports/port_avail.h"
#include "serial/win32/win32_device.h"

namespace fs = std::filesystem;

TEST(Win32Device, DcbFieldsGoAndComeBackAndTheRestStays) {
  TDcb In;
  In.BaudRate = 57600;
  In.fParity = true;
  In.fOutxCtsFlow = true;
  In.fDtrControl = dcDtrHandshake;
  In.fInX = true;
  In.fRtsControl = dcRtsToggle;
  In.XonLim = 100;
  In.XoffLim = 16384;
  In.ByteSize = 7;
  In.Parity = 2;
  In.StopBits = 2;
  In.XonChar = 0x11;
  In.XoffChar = 0x93;  // above 127: no sign trouble on the way back
  DCB D{};
  D.EofChar = 26;
  D.fAbortOnError = TRUE;
  windev::ToDcb(In, D);
  EXPECT_EQ(D.DCBlength, sizeof(DCB));
  EXPECT_EQ(D.EofChar, 26);
  EXPECT_TRUE(D.fAbortOnError);
  TDcb Out;
  windev::FromDcb(D, Out);
  EXPECT_EQ(Out, In);
}

TEST(Win32Device, ErrorNumbersKeepTheirPortMeaning) {
  EXPECT_EQ(windev::PortErrorNumber(ERROR_FILE_NOT_FOUND), oeFileNotFound);
  EXPECT_EQ(windev::PortErrorNumber(ERROR_ACCESS_DENIED), oeAccessDenied);
  // Another program's open reads as "in use" whichever way the system says it.
  EXPECT_EQ(windev::PortErrorNumber(ERROR_SHARING_VIOLATION), oeAccessDenied);
  EXPECT_EQ(ClassifyPortError(windev::PortErrorNumber(ERROR_PATH_NOT_FOUND)),
            TProbeResult::prNoDevice);
  // A purge is no lost device; a pulled adapter is.
  EXPECT_FALSE(windev::DeviceGone(ERROR_OPERATION_ABORTED));
  EXPECT_FALSE(windev::DeviceGone(ERROR_IO_PENDING));
  EXPECT_TRUE(windev::DeviceGone(ERROR_GEN_FAILURE));
  EXPECT_TRUE(windev::DeviceGone(ERROR_DEVICE_REMOVED));
}

TEST(Win32Device, ErrorTextsAreTheSystemsOnOneLine) {
  for (const int32_t N :
       {oeFileNotFound, oeAccessDenied, oeInvalidHandle, oeInvalidParameter, oeOperationAborted}) {
    const std::string Text = PlatformErrorText(N);
    EXPECT_FALSE(Text.empty()) << N;
    EXPECT_EQ(Text.find_first_of("\r\n"), std::string::npos) << Text;
    EXPECT_NE(Text.back(), ' ') << Text;
  }
  EXPECT_EQ(PlatformErrorText(0x7FFF0001), "");
}

TEST(Win32Ports, NumbersAreTheSystemsOwn) {
  const TPortMap Map = CurrentPortMap();
  ASSERT_EQ(Map.Entries().size(), MaxComNumber);
  EXPECT_EQ(Map.PathOf(1), "\\\\.\\COM1");
  EXPECT_EQ(Map.PathOf(12), "\\\\.\\COM12");
  EXPECT_EQ(Map.PathOf(51), "");
}

TEST(Win32Ports, MissingPortOpensNothing) {
  // No device stands behind COM49 in the test prefix.
  EXPECT_EQ(ProbeComPort(49, CurrentPortMap()), TProbeResult::prNoDevice);
  const auto D = MakeDeviceDispatcher(nullptr);
  EXPECT_EQ(D->InitPort("\\\\.\\COM49", 115200, 0, 8, 1, 4096, 4096, 1), -oeFileNotFound);
  EXPECT_EQ(D->ThreadCountNow(), 0);
  EXPECT_FALSE(D->DispatcherActiveNow());
  EXPECT_LT(D->ComHandleNow(), 0);
}

namespace {

class SavedFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zedazi-save-" + std::to_string(::GetCurrentProcessId()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_ / "kept", fs::perms::owner_all, ec);
    fs::remove_all(dir_, ec);
  }
  static std::string Read(const fs::path& P) {
    std::ifstream In(P, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), {}};
  }
  static void Write(const fs::path& P, const std::string& Text) {
    std::ofstream(P, std::ios::binary) << Text;
  }
  static void Save(const fs::path& P, const std::string& Text) {
    TOutFile F;
    ASSERT_TRUE(F.Create(P.string()));
    ASSERT_TRUE(F.Write(Text.data(), Text.size()));
    ASSERT_TRUE(F.Commit());
  }
  size_t Files() const {
    return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }
  fs::path dir_;
};

}  // namespace

TEST_F(SavedFile, ReplacesTheOldFileWholeAndLeavesNoTemporary) {
  const fs::path Target = dir_ / "list.tcn";
  Write(Target, "old content that is longer than the new");
  TOutFile F;
  ASSERT_TRUE(F.Create(Target.string()));
  EXPECT_EQ(Read(Target), "old content that is longer than the new");  // untouched until commit
  ASSERT_TRUE(F.Write("new\0bytes", 9));
  ASSERT_TRUE(F.Commit());
  EXPECT_EQ(Read(Target), std::string("new\0bytes", 9));
  EXPECT_EQ(Files(), 1u);
}

TEST_F(SavedFile, AbandonedSaveLeavesTheTargetAlone) {
  const fs::path Target = dir_ / "list.tcn";
  Write(Target, "old");
  {
    TOutFile F;
    ASSERT_TRUE(F.Create(Target.string()));
    ASSERT_TRUE(F.Write("partial", 7));
  }  // closed without commit
  EXPECT_EQ(Read(Target), "old");
  EXPECT_EQ(Files(), 1u);
}

TEST_F(SavedFile, FolderAndReadOnlyFileAreRefused) {
  TOutFile F;
  EXPECT_FALSE(F.Create(dir_.string()));
  const fs::path Kept = dir_ / "kept";
  Write(Kept, "keep");
  ::SetFileAttributesW(Kept.wstring().c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(F.Create(Kept.string()));
  ::SetFileAttributesW(Kept.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Read(Kept), "keep");
  EXPECT_EQ(Files(), 1u);
}

// Another program holding the target open, reading it (others may read) or
// writing it (others may read and write): the save is refused at once, and
// the file can be saved once it is let go.
TEST_F(SavedFile, TargetHeldOpenIsRefusedAtCreate) {
  const fs::path Target = dir_ / "list.tcn";
  for (const DWORD Sharing : {DWORD(FILE_SHARE_READ), DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE)}) {
    SCOPED_TRACE(Sharing);
    Write(Target, "old");
    const HANDLE Held = ::CreateFileW(Target.wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                                      Sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(Held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(TOutFile().Create(Target.string()));
    ::CloseHandle(Held);
    EXPECT_EQ(Read(Target), "old");
    EXPECT_EQ(Files(), 1u);
    Save(Target, "new");
    EXPECT_EQ(Read(Target), "new");
  }
}

// A name as long as a folder allows still has room for the temporary.
TEST_F(SavedFile, LongestNameIsSaved) {
  const fs::path Long = dir_ / (std::string(251, 'n') + ".tcn");
  Save(Long, "old");
  Save(Long, "new");
  EXPECT_EQ(Read(Long), "new");
  EXPECT_EQ(Files(), 1u);
}

// A link is followed to the file it leads to, which is replaced.
TEST_F(SavedFile, LinkedFileIsReplacedAndTheLinkStays) {
  const fs::path Real = dir_ / "real.tcn", Link = dir_ / "link.tcn";
  Write(Real, "old");
  // Wine 8 makes links that cannot be opened as links (error 2).
  const HANDLE Itself =
      ::CreateSymbolicLinkW(Link.wstring().c_str(), Real.wstring().c_str(), 0)
          ? ::CreateFileW(Link.wstring().c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr)
          : INVALID_HANDLE_VALUE;
  if (Itself == INVALID_HANDLE_VALUE) GTEST_SKIP() << "no symbolic links here";
  ::CloseHandle(Itself);
  Save(Link, "new");
  EXPECT_EQ(Read(Real), "new");
  EXPECT_TRUE(::GetFileAttributesW(Link.wstring().c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
}
