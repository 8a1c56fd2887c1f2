// A simulated box on its own thread, serving downloads on a pseudo-terminal.
//
//   boxsim::BoxSimulator box({.baud = 0});
//   OpenThePort(box.SlavePath());  ... run the tool ...
//   box.WaitDone(10s);
//   EXPECT_EQ(saved, box.Sessions().back().delivered);
//
// Every member may be called from any thread; the destructor stops the box
// and joins its thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/boxsim/box.h"
#include "tools/boxsim/exchange_log.h"
#include "tools/boxsim/line.h"
#include "tools/boxsim/options.h"

namespace boxsim {

class BoxSimulator {
 public:
  // On a fresh pseudo-terminal pair; the tool opens SlavePath().
  explicit BoxSimulator(BoxOptions options = {});
  // On a master the caller opened, or a device of OpenDevice; SlavePath()
  // is empty.
  BoxSimulator(UniqueFd master, BoxOptions options);
  ~BoxSimulator();
  BoxSimulator(const BoxSimulator&) = delete;
  BoxSimulator& operator=(const BoxSimulator&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  const BoxOptions& Options() const { return options_; }

  // True once the box has ended (one download served with `once`, the line
  // gone, or stopped); false at the timeout.
  bool WaitDone(std::chrono::steady_clock::duration timeout) const;
  // True once `count` downloads have ended; false at the timeout.
  bool WaitSessions(std::size_t count, std::chrono::steady_clock::duration timeout) const;
  void Stop();
  // Stops the box, then waits until the tool has read all it was sent, or
  // the timeout: for a program that exits when the box is done.
  void StopAndDrain(std::chrono::steady_clock::duration timeout);
  // Stops the box, lets go of its own hold on the slave side and waits until
  // the tool has closed its port too, or the timeout: a program that exits
  // when the box is done must not show the tool a hang-up. True once no
  // slave is open (also when none ever was) or the line is gone; false at the
  // timeout or once `cancelled` (polled every 100 ms) returns true.
  bool AwaitToolClosed(std::chrono::steady_clock::duration timeout,
                       const std::function<bool()>& cancelled = {});

  const ExchangeLog& Log() const { return log_; }
  std::vector<Event> Exchange() const { return log_.Events(); }
  std::vector<SessionResult> Sessions() const;

  // The file a flawless download of `type` gives: response header, content.
  Bytes ExpectedFile(ContentType type) const;

 private:
  BoxSimulator(PtyPair pty, BoxOptions options);
  BoxSimulator(UniqueFd master, UniqueFd slave, std::string slavePath, BoxOptions options);
  void Run();

  const BoxOptions options_;
  const std::string slavePath_;
  StopSignal stop_;
  // Open until destruction, so the tool can still read the last bytes sent
  // after the box is done: closing a master hangs up the slave.
  Line line_;
  ExchangeLog log_;
  std::mutex joinMutex_;  // one joiner, even when two threads stop the box
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<SessionResult> sessions_;
  bool done_ = false;
  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace boxsim
