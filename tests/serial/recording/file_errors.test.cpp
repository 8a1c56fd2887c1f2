#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "serial/errors/error_codes.h"
#include "serial/recording/text_file.h"
#include "tests/support/pty_pair.h"

namespace {

TEST(FileErrors, EveryErrnoReadsAsAFileErrorOfItsOwnMeaning) {
  const struct {
    int err;
    int32_t code;
  } rows[] = {
      {ENOENT, ecPathNotFound},   {ENOTDIR, ecPathNotFound},   {EACCES, ecAccessDenied},
      {EISDIR, ecAccessDenied},   {EMFILE, ecTooManyFiles},    {ENOSPC, ecDiskFull},
      {EDQUOT, ecDiskFull},       {EROFS, ecWriteProtected},   {EBADF, ecInvalidHandle},
      {ENOMEM, ecOutOfMemory},    {EIO, ecDeviceWrite},        {ENXIO, ecDriveNotReady},
      {ENODEV, ecDriveNotReady},  {EINVAL, ecHardwareFailure}, {EAGAIN, ecHardwareFailure},
      {EPIPE, ecHardwareFailure},
  };
  for (const auto& row : rows)
    EXPECT_EQ(-FileErrorNumber(row.err), row.code) << "errno " << row.err;
}

// A terminal whose far end has gone fails writes with EIO, which must not read
// as "File access denied" (EIO is 5).
TEST(FileErrors, WritingOntoAHungUpTerminalIsADeviceWriteError) {
  TPtyPair pty;
  TTextFile file;
  ASSERT_EQ(file.Open(pty.SlavePath(), false), ecOK);
  pty.CloseMaster();
  file.Write("Receive: \r\n");
  EXPECT_EQ(file.Close(), ecDeviceWrite);
}

}  // namespace
