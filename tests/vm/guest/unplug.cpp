// A USB adapter pulled out mid-download, and plugged in again.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "tests/vm/guest/guest_port.h"

namespace vmguest {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool Exists(const std::string& Path) {
  std::error_code Ec;
  return fs::exists(Path, Ec);
}

}  // namespace

// Runs Command (the receiver on Dev) and waits for the device to go; from
// then on every thread must end at once, with one message and no file.
int RunPulled(const std::string& Dev, const std::string& NoFile, char** Command) {
  TTally T;
  int Pipe[2];
  if (::pipe(Pipe) != 0) return 1;
  const pid_t Child = ::fork();
  if (Child == 0) {
    ::dup2(Pipe[1], STDOUT_FILENO);
    ::dup2(Pipe[1], STDERR_FILENO);
    ::close(Pipe[0]);
    ::close(Pipe[1]);
    ::execv(Command[0], Command);
    ::_exit(127);
  }
  ::close(Pipe[1]);
  std::string Output;
  std::thread Reader([&] {
    char Buf[512];
    for (ssize_t N; (N = ::read(Pipe[0], Buf, sizeof Buf)) > 0;) Output.append(Buf, size_t(N));
  });

  int Status = 0;
  bool Ended = false;
  const bool Pulled = WaitFor(
      [&] {
        Ended = ::waitpid(Child, &Status, WNOHANG) == Child;
        return Ended || !Exists(Dev);
      },
      120s);
  const auto Gone = Clock::now();
  T.Check(Pulled && !Ended, "the device went while the download ran");
  if (!Ended) {
    Ended = WaitFor([&] { return ::waitpid(Child, &Status, WNOHANG) == Child; }, 10s);
    if (!Ended) {
      ::kill(Child, SIGKILL);
      ::waitpid(Child, &Status, 0);
    }
  }
  const double Seconds = std::chrono::duration<double>(Clock::now() - Gone).count();
  Reader.join();
  ::close(Pipe[0]);
  std::printf("--- the receiver's output\n%s---\n", Output.c_str());
  std::printf("note: the receiver ended %.3f s after the device went\n", Seconds);

  T.Check(Ended && Seconds < 1.0, "every thread ended within a second");
  T.Check(WIFEXITED(Status) && WEXITSTATUS(Status) == 1, "exit code 1");
  T.Check(Output.find("Download task terminated!!!") != std::string::npos,
          "\"Download task terminated!!!\"");
  size_t Errors = 0;
  for (size_t At = 0; (At = Output.find("Error", At)) != std::string::npos; ++At) ++Errors;
  T.Check(Errors == 1, "one error message (" + std::to_string(Errors) + ")");
  T.Check(!Exists(NoFile), "no file");
  return T.ExitCode();
}

// The adapter is back: under the same name, since nothing kept the old one.
int RunReopen(const std::string& Dev) {
  TTally T;
  if (!T.Check(WaitFor([&] { return Exists(Dev); }, 30s), Dev + " is back")) return 1;
  TGuestPort P;
  T.Check(P.Open(Dev, 115200) == 0, "opens again");
  T.Check(P.D.SetDtr(true) == 0, "and works");
  return T.ExitCode();
}

}  // namespace vmguest
