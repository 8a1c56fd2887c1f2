#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <regex>
#include <stdexcept>

#include "tools/recv/recv_platform.h"

namespace {

// What the console's handler calls; set while a watcher lives.
std::atomic<std::function<void()>*> onStop{nullptr};
std::atomic<bool> stopped{false};

// Runs on a thread the system starts for each console event.
BOOL WINAPI OnConsoleEvent(DWORD Event) {
  switch (Event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      if (auto* stop = onStop.load()) {
        stopped = true;
        (*stop)();
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// What a console program stopped by Ctrl-C exits with.
constexpr int kControlCExit = int(0xC000013AU);

}  // namespace

struct TStopWatcher::TImpl {
  std::function<void()> onStop;
};

void PrepareStopRequests() {}

TStopWatcher::TStopWatcher(std::function<void()> OnStop)
    : Impl_(std::make_unique<TImpl>(TImpl{std::move(OnStop)})) {
  onStop = &Impl_->onStop;
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

TStopWatcher::~TStopWatcher() {
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  onStop = nullptr;
}

int ExitAfterStop(int Code, bool Saved) {
  if (Saved || !stopped.load()) return Code;
  std::fflush(nullptr);
  return kControlCExit;
}

bool StderrIsTerminal() {
  return ::_isatty(::_fileno(stderr)) != 0;
}

std::unique_ptr<TPathPort> PortForPath(const std::string& Path, uint16_t& ComNumber) {
  // The system's own name of a port is as good as its number.
  static const std::regex devicePath(R"(\\\\\.\\COM([1-9][0-9]?))", std::regex::icase);
  std::smatch match;
  if (!std::regex_match(Path, match, devicePath) || std::stoi(match[1]) > 50) {
    throw std::runtime_error("on Windows a port is named COM1 to COM50, not " + Path);
  }
  ComNumber = uint16_t(std::stoi(match[1]));
  return nullptr;
}
