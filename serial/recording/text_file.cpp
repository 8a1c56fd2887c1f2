#include "serial/recording/text_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "serial/errors/error_codes.h"

int32_t FileErrorNumber(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      // The file itself is created when missing, so a missing name is a path.
      return -ecPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ETXTBSY:
      return -ecAccessDenied;
    case EMFILE:
    case ENFILE:
      return -ecTooManyFiles;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return -ecDiskFull;
    case EROFS:
      return -ecWriteProtected;
    default:
      return err;
  }
}

TTextFile::~TTextFile() {
  if (fd_ >= 0) ::close(fd_);
}

int32_t TTextFile::Open(const std::string& name, bool append) {
  if (fd_ >= 0) Close();
  error_ = 0;
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  do {
    fd_ = ::open(name.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) return -FileErrorNumber(errno);
  return 0;
}

void TTextFile::Write(std::string_view text) {
  if (fd_ < 0 || error_ != 0) return;
  while (!text.empty()) {
    const ssize_t n = ::write(fd_, text.data(), text.size());
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
  if (::close(fd_) != 0 && error_ == 0 && errno != EINTR) error_ = FileErrorNumber(errno);
  fd_ = -1;
  return -error_;
}
