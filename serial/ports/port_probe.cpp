#include "serial/port_probe.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

TProbeResult ClassifyOpenError(int Errno) {
  switch (Errno) {
    case EBUSY:
    case EWOULDBLOCK:
      return TProbeResult::prInUse;
    case EACCES:
    case EPERM:
      return TProbeResult::prAccessDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return TProbeResult::prNoDevice;
    default:
      return TProbeResult::prFailed;
  }
}

namespace {

// The descriptor, its lock and its exclusive mode, undone in reverse order.
class TTrialOpen {
 public:
  explicit TTrialOpen(const std::string& Path)
      : fd_(::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)),
        openError_(fd_ < 0 ? errno : 0) {}
  TTrialOpen(const TTrialOpen&) = delete;
  TTrialOpen& operator=(const TTrialOpen&) = delete;
  ~TTrialOpen() {
    if (fd_ < 0) return;
    // The exclusive flag belongs to the tty, not to this descriptor: clear it, or
    // a program that has the port open meanwhile would be left exclusive.
    if (exclusive_) ::ioctl(fd_, TIOCNXCL);
    if (locked_) ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }

  int Lock() {
    if (fd_ < 0) return openError_;
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) return errno;
    locked_ = true;
    if (::ioctl(fd_, TIOCEXCL) != 0) {
      // Not every device is a tty (a test file, some virtual lines).
      if (errno != EINVAL && errno != ENOTTY) return errno;
    } else {
      exclusive_ = true;
    }
    return 0;
  }

 private:
  int fd_;
  int openError_;
  bool locked_ = false;
  bool exclusive_ = false;
};

}  // namespace

TProbeResult ProbeDevice(const std::string& Path) {
  if (Path.empty()) return TProbeResult::prNoDevice;
  TTrialOpen trial(Path);
  int err = trial.Lock();
  return err == 0 ? TProbeResult::prOpened : ClassifyOpenError(err);
}

const char* ProbeResultText(TProbeResult Result) {
  switch (Result) {
    case TProbeResult::prOpened:
      return "free";
    case TProbeResult::prInUse:
      return "in use by another program";
    case TProbeResult::prAccessDenied:
      return "permission denied";
    case TProbeResult::prNoDevice:
      return "no such device";
    case TProbeResult::prFailed:
      break;
  }
  return "cannot be opened";
}

std::string DeviceGroup(const std::string& Path) {
  struct stat st {};
  if (::stat(Path.c_str(), &st) != 0) return {};
  group gr{};
  group* found = nullptr;
  std::array<char, 4096> buf{};
  if (::getgrgid_r(st.st_gid, &gr, buf.data(), buf.size(), &found) != 0 || !found) return {};
  return found->gr_name;
}
