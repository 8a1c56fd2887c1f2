#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "serial/errors/error_codes.h"
#include "serial/recording/text_file.h"

int32_t FileErrorNumber(int err) {
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
      // An errno passed through would read as an unrelated file error.
      return -ecHardwareFailure;
  }
}

int OpenTextFileFd(const std::string& name, bool append) {
  // Binary mode: the lines already end in CR LF, and text mode would turn
  // each LF into another CR LF.
  const int flags =
      _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT | (append ? _O_APPEND : _O_TRUNC);
  return ::_open(name.c_str(), flags, _S_IREAD | _S_IWRITE);
}

long WriteTextFileFd(int fd, const char* data, std::size_t size) {
  // One call takes at most INT_MAX bytes; the caller writes on.
  return ::_write(fd, data, unsigned(std::min<std::size_t>(size, INT_MAX)));
}

int CloseTextFileFd(int fd) {
  return ::_close(fd);
}
