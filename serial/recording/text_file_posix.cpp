#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "serial/errors/error_codes.h"
#include "serial/recording/text_file.h"

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

int OpenTextFileFd(const std::string& name, bool append) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  int fd;
  do {
    fd = ::open(name.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

long WriteTextFileFd(int fd, const char* data, std::size_t size) {
  return long(::write(fd, data, size));
}

int CloseTextFileFd(int fd) {
  return ::close(fd);
}
