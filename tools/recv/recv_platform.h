// What the receiver does differently on each platform: stop requests from the
// console, the exit of a stopped run, and naming a port by a device path.
#pragma once

#include <functional>
#include <memory>
#include <string>

// Called first, before any thread starts: on POSIX systems every thread
// started later leaves the stop signals to the watcher.
void PrepareStopRequests();

// Takes Ctrl-C (and on POSIX systems termination and hang-up) while it
// lives: each request calls OnStop from a thread of its own, and nothing
// else runs in the handler.
class TStopWatcher {
 public:
  explicit TStopWatcher(std::function<void()> OnStop);
  TStopWatcher(const TStopWatcher&) = delete;
  TStopWatcher& operator=(const TStopWatcher&) = delete;
  ~TStopWatcher();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl_;
};

// The exit of a run that ended with Code: a run stopped from the console
// that did not save its file ends as an interrupted program does, so that a
// shell loop running it stops too.
int ExitAfterStop(int Code, bool Saved);

bool StderrIsTerminal();

// A port given by its device path gets a COM number through the port map
// while the returned object lives. Throws when the platform cannot open a
// port by path.
class TPathPort {
 public:
  virtual ~TPathPort() = default;
};
std::unique_ptr<TPathPort> PortForPath(const std::string& Path, uint16_t& ComNumber);
