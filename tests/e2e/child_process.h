// A program run as a child process with its stdout and stderr on pipes, for
// the receiver's tests and benchmarks: its output line by line, its exit
// status and its resource use.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct TChildOptions {
  std::vector<std::string> env;  // NAME=VALUE added to the parent's
  std::string cwd;               // empty: the parent's
  rlim_t addressSpace = 0;       // RLIMIT_AS in bytes; 0: none
  // A process group of its own, as a shell gives a job: SignalGroup reaches
  // the child and whatever it starts.
  bool ownGroup = false;
};

class TChild {
 public:
  TChild(const std::string& program, const std::vector<std::string>& args,
         const TChildOptions& options = {}) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.insert(env.end(), options.env.begin(), options.env.end());
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    start_ = std::chrono::steady_clock::now();
    pid_ = ::fork();
    if (pid_ == 0) {
      if (options.ownGroup) ::setpgid(0, 0);
      ::dup2(out[1], STDOUT_FILENO);
      ::dup2(err[1], STDERR_FILENO);
      if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(127);
      if (options.addressSpace > 0) {
        const rlimit limit{options.addressSpace, options.addressSpace};
        ::setrlimit(RLIMIT_AS, &limit);
      }
      ::execve(program.c_str(), argv.data(), envp.data());
      ::_exit(127);
    }
    // Set on both sides, so a signal to the group right after reaches it.
    if (options.ownGroup && pid_ > 0) {
      ::setpgid(pid_, pid_);
      group_ = true;
    }
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~TChild() {
    if (pid_ > 0 && !status_) {
      ::kill(group_ ? -pid_ : pid_, SIGKILL);
      Wait();
    }
    if (out_ >= 0) ::close(out_);
    if (err_ >= 0) ::close(err_);
  }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  // The next line of stdout; nothing at its end or after `timeout`.
  std::optional<std::string> Line(std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (const auto nl = outBuf_.find('\n'); nl != std::string::npos) {
        std::string line = outBuf_.substr(0, nl);
        outBuf_.erase(0, nl + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !Pump(static_cast<int>(left.count()))) return std::nullopt;
    }
  }
  // Every remaining stdout line, up to the end of output.
  std::vector<std::string> RestOfLines(
      std::chrono::milliseconds timeout = std::chrono::seconds(25)) {
    std::vector<std::string> lines;
    while (auto line = Line(timeout)) lines.push_back(*line);
    return lines;
  }

  // Waits for the exit; the exit code, or 128 + signal. Reads the rest of
  // stderr on the way.
  int Wait() {
    if (!status_) {
      while (Pump(-1)) {
      }
      int status = 0;
      rusage usage{};
      ::wait4(pid_, &status, 0, &usage);
      end_ = std::chrono::steady_clock::now();
      usage_ = usage;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      if (WIFSIGNALED(status)) termSignal_ = WTERMSIG(status);
    }
    return *status_;
  }
  // After Wait: the signal that killed the child, 0 when it exited.
  int TermSignal() const { return termSignal_; }
  void Signal(int sig) { ::kill(pid_, sig); }
  void SignalGroup(int sig) { ::kill(-pid_, sig); }

  const std::string& Stderr() const { return errBuf_; }
  const rusage& Usage() const { return usage_; }
  std::chrono::steady_clock::duration Elapsed() const { return end_ - start_; }
  // CPU time, user and system.
  double CpuSeconds() const {
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(usage_.ru_utime) + s(usage_.ru_stime);
  }
  long MaxRssKiB() const { return usage_.ru_maxrss; }

 private:
  // Reads what either pipe has; false when both are at their end or the
  // time ran out.
  bool Pump(int timeoutMs) {
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (outEof_) fds[0].fd = -1;
    if (errEof_) fds[1].fd = -1;
    if (outEof_ && errEof_) return false;
    if (::poll(fds, 2, timeoutMs) <= 0) return false;
    char buf[4096];
    for (int i = 0; i < 2; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        (i == 0 ? outEof_ : errEof_) = true;
      } else {
        (i == 0 ? outBuf_ : errBuf_).append(buf, static_cast<std::size_t>(n));
      }
    }
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  bool outEof_ = false, errEof_ = false;
  std::string outBuf_, errBuf_;
  bool group_ = false;
  std::optional<int> status_;
  int termSignal_ = 0;
  rusage usage_{};
  std::chrono::steady_clock::time_point start_, end_;
};

}  // namespace e2e
