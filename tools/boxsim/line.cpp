#include "tools/boxsim/line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

namespace boxsim {
namespace {

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

timespec ToTimespec(Clock::duration d) {
  if (d < Clock::duration::zero()) d = Clock::duration::zero();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
  return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) Reset(other.Release());
  return *this;
}

int UniqueFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

PtyPair OpenPty() {
  PtyPair pair;
  pair.master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!pair.master) ThrowErrno("posix_openpt");
  if (::grantpt(pair.master.Get()) != 0) ThrowErrno("grantpt");
  if (::unlockpt(pair.master.Get()) != 0) ThrowErrno("unlockpt");
  char name[128];
  if (::ptsname_r(pair.master.Get(), name, sizeof name) != 0) ThrowErrno("ptsname_r");
  pair.slavePath = name;
  pair.slave.Reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!pair.slave) ThrowErrno("open pty slave");

  // Raw, so bytes pass unchanged and nothing the tool sends is echoed back.
  termios tio{};
  if (::tcgetattr(pair.slave.Get(), &tio) != 0) ThrowErrno("tcgetattr");
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B115200);
  ::cfsetospeed(&tio, B115200);
  if (::tcsetattr(pair.slave.Get(), TCSANOW, &tio) != 0) ThrowErrno("tcsetattr");

  const int flags = ::fcntl(pair.master.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(pair.master.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
    ThrowErrno("fcntl");
  }
  return pair;
}

namespace {

struct Rate {
  uint32_t baud;
  speed_t code;
};
constexpr Rate kDeviceRates[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

}  // namespace

UniqueFd OpenDevice(const std::string& path, uint32_t baud) {
  speed_t code = 0;
  if (baud > 0) {
    const Rate* rate = std::find_if(std::begin(kDeviceRates), std::end(kDeviceRates),
                                    [&](const Rate& r) { return r.baud == baud; });
    if (rate == std::end(kDeviceRates)) {
      throw std::invalid_argument("no device setting for " + std::to_string(baud) + " baud");
    }
    code = rate->code;
  }
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) ThrowErrno(path.c_str());
  termios tio{};
  if (::tcgetattr(fd.Get(), &tio) != 0) ThrowErrno(path.c_str());  // ENOTTY: no terminal
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~CRTSCTS;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (code != 0) {
    ::cfsetispeed(&tio, code);
    ::cfsetospeed(&tio, code);
  }
  if (::tcsetattr(fd.Get(), TCSANOW, &tio) != 0) ThrowErrno(path.c_str());
  // Whatever the far end sent before the box was there is no request.
  ::tcflush(fd.Get(), TCIOFLUSH);
  return fd;
}

StopSignal::StopSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!fd_) ThrowErrno("eventfd");
}

void StopSignal::Raise() {
  raised_.store(true);
  const uint64_t one = 1;
  // The counter only grows; the eventfd stays readable from now on.
  [[maybe_unused]] const ssize_t n = ::write(fd_.Get(), &one, sizeof one);
}

Line::Line(UniqueFd master, UniqueFd heldSlave, const StopSignal& stop, uint32_t baud,
           uint32_t chunkSize, uint32_t dribbleMs)
    : master_(std::move(master)),
      heldSlave_(std::move(heldSlave)),
      fd_(master_.Get()),
      stop_(stop),
      baud_(baud),
      chunkSize_(std::max<uint32_t>(1, chunkSize)),
      dribbleMs_(dribbleMs) {
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags >= 0 && !(flags & O_NONBLOCK)) ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
  // Only a pseudo-terminal master has a number of its pair.
  unsigned number = 0;
  device_ = ::isatty(fd_) && ::ioctl(fd_, TIOCGPTN, &number) != 0;
}

IoResult Line::WaitFor(short events, Clock::time_point deadline) const {
  while (true) {
    if (stop_.Raised()) return IoResult::kStopped;
    pollfd fds[2] = {{fd_, events, 0}, {stop_.Fd(), POLLIN, 0}};
    const bool forever = deadline == Clock::time_point::max();
    timespec timeout{};
    if (!forever) timeout = ToTimespec(deadline - Clock::now());
    const int n = ::ppoll(fds, 2, forever ? nullptr : &timeout, nullptr);
    if (n < 0) {
      if (errno == EINTR) continue;
      return IoResult::kClosed;
    }
    if (fds[1].revents) return IoResult::kStopped;
    if (fds[0].revents & events) return IoResult::kOk;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return IoResult::kClosed;
    if (!forever && Clock::now() >= deadline) return IoResult::kTimeout;
  }
}

bool Line::SleepUntil(Clock::time_point deadline) const {
  while (!stop_.Raised()) {
    pollfd fds{stop_.Fd(), POLLIN, 0};
    const timespec timeout = ToTimespec(deadline - Clock::now());
    const int n = ::ppoll(&fds, 1, &timeout, nullptr);
    if (n == 0) return !stop_.Raised();
    if (n < 0 && errno != EINTR) return false;
  }
  return false;
}

bool Line::Writable() const {
  if (closed_) return false;
  pollfd fds{fd_, POLLOUT, 0};
  return ::poll(&fds, 1, 0) == 1 && (fds.revents & POLLOUT);
}

IoResult Line::WriteAll(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      closed_ = true;
      return IoResult::kClosed;
    }
    const IoResult wait = WaitFor(POLLOUT, Clock::time_point::max());
    if (wait != IoResult::kOk) {
      if (wait == IoResult::kClosed) closed_ = true;
      return wait;
    }
  }
  return IoResult::kOk;
}

IoResult Line::Write(std::span<const uint8_t> bytes) {
  if (closed_) return IoResult::kClosed;
  if (baud_ == 0 && dribbleMs_ == 0) return WriteAll(bytes);

  // Nanoseconds per byte; a line that fell idle starts its clock afresh, so
  // pauses are not made up for by a burst later.
  const uint64_t byteNs =
      dribbleMs_ > 0 ? uint64_t{dribbleMs_} * 1'000'000 : 10'000'000'000ull / baud_;
  const auto due = [&](uint64_t count) {
    return paceBase_ + std::chrono::nanoseconds(count * byteNs);
  };
  if (due(pacedBytes_) < Clock::now()) {
    paceBase_ = Clock::now();
    pacedBytes_ = 0;
  }
  // The tool gets a chunk at once, as from a receive FIFO or a USB adapter,
  // when the stop bit of its last byte has gone out.
  const std::size_t chunk = dribbleMs_ > 0 ? 1 : chunkSize_;
  while (!bytes.empty()) {
    const std::size_t n = std::min(chunk, bytes.size());
    if (!SleepUntil(due(pacedBytes_ + n))) return IoResult::kStopped;
    const IoResult result = WriteAll(bytes.first(n));
    if (result != IoResult::kOk) return result;
    pacedBytes_ += n;
    bytes = bytes.subspan(n);
  }
  return IoResult::kOk;
}

IoResult Line::Read(std::size_t n, Bytes& out, Clock::time_point deadline) {
  bool polledReadable = false;
  while (pending_.size() < n) {
    if (closed_) return IoResult::kClosed;
    uint8_t buffer[4096];
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got > 0) {
      pending_.insert(pending_.end(), buffer, buffer + got);
      polledReadable = false;
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    // EIO: no slave open any more. A terminal may read 0 with more to come,
    // but not right after poll said it was readable: that is an end of file.
    if ((got == 0 && polledReadable) || (got < 0 && errno != EAGAIN)) {
      closed_ = true;
      return IoResult::kClosed;
    }
    const IoResult wait = WaitFor(POLLIN, deadline);
    polledReadable = wait == IoResult::kOk;
    if (wait != IoResult::kOk) {
      if (wait == IoResult::kClosed) closed_ = true;
      return wait;
    }
  }
  out.insert(out.end(), pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
  return IoResult::kOk;
}

void Line::Drain(Clock::time_point deadline, bool stoppable) const {
  if (closed_) return;
  const auto pause = [&](Clock::duration d) {
    if (stoppable) return Sleep(d);
    std::this_thread::sleep_for(d);
    return true;
  };
  if (device_) {  // until the driver has sent all it holds
    int queued = 0;
    while (Clock::now() < deadline && ::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) {
      if (!pause(std::chrono::milliseconds(5))) return;
    }
    return;
  }
  if (!heldSlave_) {  // no way to look into the slave's queue: a grace period
    pause(std::min<Clock::duration>(deadline - Clock::now(), std::chrono::milliseconds(200)));
    return;
  }
  // Empty twice, some time apart: bytes may still be on their way from the
  // master to the slave's queue.
  for (int empty = 0; empty < 2 && Clock::now() < deadline;) {
    int queued = 0;
    if (::ioctl(heldSlave_.Get(), FIONREAD, &queued) != 0) return;
    empty = queued == 0 ? empty + 1 : 0;
    if (!pause(std::chrono::milliseconds(10))) return;
  }
}

void Line::HangUp(Clock::time_point drainDeadline) {
  Drain(drainDeadline);
  master_.Reset();
  heldSlave_.Reset();
  fd_ = -1;
  closed_ = true;
}

bool Line::AwaitSlaveClosed(Clock::time_point deadline, const std::function<bool()>& cancelled) {
  // A device's far end gives no sign of a port closing, and closing the
  // device shows the tool no hang-up.
  if (closed_ || device_) return true;
  heldSlave_.Reset();
  while (!(cancelled && cancelled())) {
    const Clock::duration left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return false;
    // No events asked for: the tool's bytes do not wake it, a hang-up does.
    pollfd fds{fd_, 0, 0};
    const timespec timeout =
        ToTimespec(std::min<Clock::duration>(left, std::chrono::milliseconds(100)));
    const int n = ::ppoll(&fds, 1, &timeout, nullptr);
    if (n < 0 && errno != EINTR) return false;  // no way to wait: give up
    if (n > 0 && (fds.revents & (POLLHUP | POLLERR | POLLNVAL))) return true;
  }
  return false;
}

void Line::Unread(std::span<const uint8_t> bytes) {
  pending_.insert(pending_.begin(), bytes.begin(), bytes.end());
}

}  // namespace boxsim
