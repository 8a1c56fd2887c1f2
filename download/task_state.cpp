#include "download/task_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>

std::atomic<bool> TaskRunning{false};
std::array<uint8_t, kWordBufferSize> WordBuffer{};
TOutFile OutFile;

namespace {

// A hidden name in the target's folder, so the final rename stays on one
// file system and is atomic.
std::string TempNameFor(const std::string& target) {
  static thread_local std::mt19937 rng{std::random_device{}()};
  const std::filesystem::path path(target);
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(rng()));
  return (path.parent_path() / ("." + path.filename().string() + "." + suffix + ".part")).string();
}

}  // namespace

bool TOutFile::Create(const std::string& Target) {
  Close();
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string temp = TempNameFor(Target);
    // 0666 lets the umask decide, as for any file the user creates.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = fd;
      target_ = Target;
      temp_ = std::move(temp);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool TOutFile::Write(const void* Data, std::size_t Len) {
  const auto* p = static_cast<const uint8_t*>(Data);
  while (Len > 0) {
    const ssize_t n = ::write(fd_, p, Len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    Len -= static_cast<std::size_t>(n);
  }
  return true;
}

bool TOutFile::Commit() {
  bool ok = ::fsync(fd_) == 0;
  ok = ::close(fd_) == 0 && ok;
  fd_ = -1;
  ok = ok && ::rename(temp_.c_str(), target_.c_str()) == 0;
  if (!ok) ::unlink(temp_.c_str());
  temp_.clear();
  return ok;
}

void TOutFile::Close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(temp_.c_str());
  temp_.clear();
}
