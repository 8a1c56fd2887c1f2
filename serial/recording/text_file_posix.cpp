#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "serial/errors/error_codes.h"
#include "serial/recording/text_file.h"

int32_t FileErrorNumber(int err) {
  switch (err) {
    case ENOTDIR:
    case ELOOP:
      return -ecPathNotFound;
    case ETXTBSY:
      return -ecAccessDenied;
    case EDQUOT:
      return -ecDiskFull;
    default:
      return PortableFileErrorNumber(err);
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
