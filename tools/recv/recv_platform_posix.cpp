#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "serial/ports/port_map.h"
#include "tools/recv/recv_platform.h"

namespace {

// The first stop signal taken, 0 for none.
std::atomic<int> stopSignal{0};

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGUSR2);
  return set;
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

// Ends the process by `sig` as if it had never been caught.
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

// A device path gets a number of its own through a private links folder, so
// the component opens it like any COM port.
class TLinkedPath : public TPathPort {
 public:
  explicit TLinkedPath(const std::string& path) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zedazi-recv-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
    dir_ = tmpl;
    std::filesystem::create_symlink(std::filesystem::absolute(path), dir_ / "com1");
    TPortMapConfig config;
    config.LinksDir = dir_;
    config.DevDir = dir_ / "no-devices";
    SetPortMapConfig(config);
  }
  ~TLinkedPath() override {
    ResetPortMapConfig();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

 private:
  std::filesystem::path dir_;
};

}  // namespace

// Ctrl-C and termination are taken by a thread of their own, which only
// asks the task to stop and notes the signal for the exit.
struct TStopWatcher::TImpl {
  std::thread thread;
};

void PrepareStopRequests() {
  // Every thread started from here on inherits the blocked signals.
  const sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

TStopWatcher::TStopWatcher(std::function<void()> OnStop) : Impl_(std::make_unique<TImpl>()) {
  Impl_->thread = std::thread([onStop = std::move(OnStop)] {
    const sigset_t set = StopSignals();
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

TStopWatcher::~TStopWatcher() {
  pthread_kill(Impl_->thread.native_handle(), SIGUSR2);
  Impl_->thread.join();
}

int ExitAfterStop(int Code, bool Saved) {
  int sig = stopSignal.load();
  if (sig == 0) sig = PendingStopSignal();
  if (Saved || sig == 0) return Code;
  return DieBy(sig);
}

bool StderrIsTerminal() {
  return ::isatty(STDERR_FILENO) != 0;
}

std::unique_ptr<TPathPort> PortForPath(const std::string& Path, uint16_t& ComNumber) {
  ComNumber = 1;
  return std::make_unique<TLinkedPath>(Path);
}
