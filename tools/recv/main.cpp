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
#include "serial/com_port.h"
#include "serial/port_map.h"
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

// Ctrl-C and termination are taken by a thread of their own, which only
// asks the task to stop.
class TSignalWatcher {
 public:
  explicit TSignalWatcher(std::function<void()> onStop) {
    thread_ = std::thread([this, onStop = std::move(onStop)] {
      const sigset_t set = Signals();
      for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) continue;
        if (sig == SIGUSR2) return;
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
  try {
    return Run(*options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zedazi-recv: %s\n", e.what());
    return kFailed;
  }
}
