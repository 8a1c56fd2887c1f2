// zedazi-recv: one download from the box without a window, for scripts,
// headless machines and the demo.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <thread>

#include "download/com_port_link.h"
#include "download/task_state.h"
#include "download/up_thread.h"
#include "serial/component/com_port.h"
#include "serial/ports/port_map.h"
#include "tools/recv/port_listing.h"
#include "tools/recv/recv_options.h"
#include "tools/recv/recv_view.h"

namespace {

enum ExitCode { kWritten = 0, kFailed = 1, kUsage = 2, kNoPort = 3, kNotWritten = 4 };

// A device path gets a number of its own through a private links folder, so
// the component opens it like any COM port.
class TPathAsPort {
 public:
  explicit TPathAsPort(const std::string& path) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zedazi-recv-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
    dir_ = tmpl;
    std::filesystem::create_symlink(std::filesystem::absolute(path), dir_ / "com1");
    TPortMapConfig config;
    config.LinksDir = dir_;
    config.DevDir = dir_ / "no-devices";
    SetPortMapConfig(config);
  }
  ~TPathAsPort() {
    ResetPortMapConfig();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

 private:
  std::filesystem::path dir_;
};

// The first stop signal taken, 0 for none.
std::atomic<int> stopSignal{0};

// Ctrl-C and termination are taken by a thread of their own, which only
// asks the task to stop and notes the signal for the exit.
class TSignalWatcher {
 public:
  explicit TSignalWatcher(std::function<void()> onStop) {
    thread_ = std::thread([onStop = std::move(onStop)] {
      const sigset_t set = Signals();
      for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) continue;
        if (sig == SIGUSR2) return;
        int none = 0;
        stopSignal.compare_exchange_strong(none, sig);
        onStop();
      }
    });
  }
  ~TSignalWatcher() {
    pthread_kill(thread_.native_handle(), SIGUSR2);
    thread_.join();
  }

  static sigset_t Signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGUSR2);
    return set;
  }

 private:
  std::thread thread_;
};

int Run(const TRecvOptions& options) {
  // Every thread started from here on inherits the blocked signals.
  const sigset_t signals = TSignalWatcher::Signals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  std::unique_ptr<TPathAsPort> pathPort;
  uint16_t comNumber = 0;
  std::smatch match;
  static const std::regex comName(R"(COM([1-9][0-9]?))", std::regex::icase);
  if (std::regex_match(options.Port, match, comName)) {
    comNumber = static_cast<uint16_t>(std::stoi(match[1]));
  } else {
    pathPort = std::make_unique<TPathAsPort>(options.Port);
    comNumber = 1;
  }

  TPlainPlatform platform;
  TRivuComPort port(nullptr, &platform);
  port.SetPromptForPort(false);
  port.SetInSize(16384);
  port.SetOutSize(16384);
  port.SetRTS(false);
  port.SetBaud(115200);
  port.SetDataBits(8);
  port.SetStopBits(1);
  port.SetParity(pNone);
  port.SetComNumber(comNumber);
  try {
    port.SetOpen(true);
    port.FlushInBuffer();
    port.FlushOutBuffer();
  } catch (const std::exception& e) {
    // The refusal's own text names the device already.
    const std::string what = e.what();
    if (what.find(options.Port) != std::string::npos)
      std::fprintf(stderr, "zedazi-recv: %s\n", e.what());
    else
      std::fprintf(stderr, "zedazi-recv: cannot open %s: %s\n", options.Port.c_str(), e.what());
    return kNoPort;
  }

  TComPortLink link(port);
  TRecvView view(options.Type,
                 options.Output.empty() ? DefaultOutputName(options.Type) : options.Output,
                 !options.Quiet && ::isatty(STDERR_FILENO));
  TaskRunning = true;
  UpThread task(link, view);
  TSignalWatcher watcher([&task] { task.RequestStop(); });
  task.Start();
  if (!view.WaitDone(std::chrono::seconds(options.IdleTimeoutSeconds))) {
    std::fprintf(stderr, "zedazi-recv: nothing happened for %d s; giving up\n",
                 options.IdleTimeoutSeconds);
    task.RequestStop();
    view.WaitDone(std::chrono::seconds(0));
  }
  task.Join();
  port.SetOpen(false);

  // A stop from the save dialog on lets the file be written: that counts.
  if (!view.SaveReached()) return kFailed;
  if (view.FileError()) return kNotWritten;
  std::fprintf(stderr, "Wrote %s\n", view.SavedName().c_str());
  return kWritten;
}

// A stop signal that came when no watcher was there to take it.
int PendingStopSignal() {
  sigset_t pending;
  if (sigpending(&pending) != 0) return 0;
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    if (sigismember(&pending, sig) == 1) return sig;
  }
  return 0;
}

// Ends the process by `sig` as if it had never been caught: a shell running
// the program in a loop sees it was interrupted and stops the loop too.
int DieBy(int sig) {
  std::fflush(nullptr);
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(sig, &action, nullptr);
  ::raise(sig);  // blocked here: pending until unblocked
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  return 128 + sig;  // not reached
}

// A stop signal ends the program by that signal once everything is cleaned
// up, unless the file was saved all the same.
int Finish(int code) {
  int sig = stopSignal.load();
  if (sig == 0) sig = PendingStopSignal();
  if (code == kWritten || sig == 0) return code;
  return DieBy(sig);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = ParseRecvOptions({argv + 1, argv + argc}, error);
  if (!options) {
    std::fprintf(stderr, "zedazi-recv: %s\n%s", error.c_str(), RecvUsage().c_str());
    return kUsage;
  }
  if (options->Help) {
    std::fputs(RecvUsage().c_str(), stdout);
    return 0;
  }
  if (options->Version) {
    std::puts("zedazi-recv 1.30");
    return 0;
  }
  if (options->ListPorts) {
    std::fputs(ListPorts(CurrentPortMap(), CurrentPortMapConfig()).c_str(), stdout);
    return 0;
  }
  int code = kFailed;
  try {
    code = Run(*options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zedazi-recv: %s\n", e.what());
  }
  return Finish(code);
}
