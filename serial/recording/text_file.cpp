#include "serial/recording/text_file.h"

#include <cerrno>

#include "serial/errors/error_codes.h"

int32_t PortableFileErrorNumber(int err) {
  switch (err) {
    case ENOENT:
    case ENAMETOOLONG:
      // The file itself is created when missing, so a missing name is a path.
      return -ecPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
      return -ecAccessDenied;
    case EMFILE:
    case ENFILE:
      return -ecTooManyFiles;
    case ENOSPC:
    case EFBIG:
      return -ecDiskFull;
    case EROFS:
      return -ecWriteProtected;
    case EBADF:
      return -ecInvalidHandle;
    case ENOMEM:
      return -ecOutOfMemory;
    case ESPIPE:
      return -ecSeekError;
    case EIO:
      return -ecDeviceWrite;
    case ENXIO:
    case ENODEV:
      return -ecDriveNotReady;
    default:
      // An errno passed through would read as an unrelated file error
      // (EIO is 5, "File access denied").
      return -ecHardwareFailure;
  }
}

TTextFile::~TTextFile() {
  if (fd_ >= 0) CloseTextFileFd(fd_);
}

int32_t TTextFile::Open(const std::string& name, bool append) {
  if (fd_ >= 0) Close();
  error_ = 0;
  fd_ = OpenTextFileFd(name, append);
  if (fd_ < 0) return -FileErrorNumber(errno);
  return 0;
}

void TTextFile::Write(std::string_view text) {
  if (fd_ < 0 || error_ != 0) return;
  while (!text.empty()) {
    const long n = WriteTextFileFd(fd_, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = FileErrorNumber(errno);
      return;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

int32_t TTextFile::Close() {
  if (fd_ < 0) return -error_;
  // close() must not be retried on EINTR: the descriptor is gone either way.
  if (CloseTextFileFd(fd_) != 0 && error_ == 0 && errno != EINTR) error_ = FileErrorNumber(errno);
  fd_ = -1;
  return -error_;
}
