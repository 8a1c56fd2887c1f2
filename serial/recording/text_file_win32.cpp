#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "serial/recording/text_file.h"

int32_t FileErrorNumber(int err) {
  return PortableFileErrorNumber(err);
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
