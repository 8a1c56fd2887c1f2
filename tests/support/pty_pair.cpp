#include "tests/support/pty_pair.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

TPtyPair::TPtyPair() {
  char Name[256] = {};
  termios Raw{};
  cfmakeraw(&Raw);
  if (openpty(&Master_, &Slave_, Name, &Raw, nullptr) != 0) {
    throw std::system_error(errno, std::generic_category(), "openpty");
  }
  fcntl(Master_, F_SETFD, FD_CLOEXEC);
  fcntl(Slave_, F_SETFD, FD_CLOEXEC);
  fcntl(Master_, F_SETFL, fcntl(Master_, F_GETFL) | O_NONBLOCK);
  SlavePath_ = Name;
}

TPtyPair::~TPtyPair() {
  CloseMaster();
  if (Slave_ >= 0) close(Slave_);
}

void TPtyPair::Write(const void* Data, size_t Len) {
  auto* P = static_cast<const uint8_t*>(Data);
  while (Len > 0) {
    const ssize_t N = write(Master_, P, Len);
    if (N > 0) {
      P += N;
      Len -= size_t(N);
    } else if (N < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd Pfd{Master_, POLLOUT, 0};
      poll(&Pfd, 1, 100);
    } else {
      throw std::system_error(errno, std::generic_category(), "write to pty master");
    }
  }
}

std::vector<uint8_t> TPtyPair::Read(size_t Len, std::chrono::milliseconds Timeout) {
  std::vector<uint8_t> Out;
  const auto Deadline = std::chrono::steady_clock::now() + Timeout;
  uint8_t Buf[4096];
  while (Out.size() < Len) {
    const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
        Deadline - std::chrono::steady_clock::now());
    if (Left.count() <= 0) break;
    pollfd Pfd{Master_, POLLIN, 0};
    if (poll(&Pfd, 1, int(Left.count())) <= 0) continue;
    const ssize_t N = read(Master_, Buf, std::min(sizeof Buf, Len - Out.size()));
    if (N > 0) Out.insert(Out.end(), Buf, Buf + N);
  }
  return Out;
}

std::vector<uint8_t> TPtyPair::ReadAvailable() {
  std::vector<uint8_t> Out;
  uint8_t Buf[4096];
  for (;;) {
    const ssize_t N = read(Master_, Buf, sizeof Buf);
    if (N <= 0) break;
    Out.insert(Out.end(), Buf, Buf + N);
  }
  return Out;
}

void TPtyPair::CloseMaster() {
  if (Master_ >= 0) close(Master_);
  Master_ = -1;
}

int OpenDescriptorCount() {
  int Count = 0;
  if (DIR* D = opendir("/proc/self/fd")) {
    while (dirent* E = readdir(D)) {
      if (E->d_name[0] != '.') ++Count;
    }
    closedir(D);
    --Count;  // the directory stream's own descriptor
  }
  return Count;
}
