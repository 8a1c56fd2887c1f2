#include "serial/recording/text_file.h"

#include <cerrno>

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
