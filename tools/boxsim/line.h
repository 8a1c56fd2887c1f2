// The box's end of the serial line: a pseudo-terminal master, written at the
// pace of a real line and read with deadlines, both interruptible by a stop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>

#include "tools/boxsim/wire.h"

namespace boxsim {

using Clock = std::chrono::steady_clock;

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int Get() const { return fd_; }
  int Release();
  void Reset(int fd = -1);
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// A pseudo-terminal pair in raw mode. The slave stays open here too, so the
// master never reads a hang-up while the tool has its port closed.
struct PtyPair {
  UniqueFd master;
  UniqueFd slave;
  std::string slavePath;
};

// Throws std::system_error when the system has no pseudo-terminal to give.
PtyPair OpenPty();

// An existing serial device (a USB adapter with a null-modem cable to the
// tool's, or the host side of a virtual machine's serial port), raw, at
// `baud` when it is above 0. Throws std::system_error when it cannot be
// opened or is no terminal, std::invalid_argument for a rate it has no
// setting for.
UniqueFd OpenDevice(const std::string& path, uint32_t baud);

// A stop request any wait of the line notices at once.
class StopSignal {
 public:
  StopSignal();
  void Raise();
  bool Raised() const { return raised_.load(); }
  int Fd() const { return fd_.Get(); }

 private:
  std::atomic<bool> raised_{false};
  UniqueFd fd_;
};

enum class IoResult { kOk, kTimeout, kStopped, kClosed };

class Line {
 public:
  // `baud` 0 sends at once; paced bytes go out `chunkSize` at a time;
  // `dribbleMs` above 0 sends every byte alone. `heldSlave` (may be empty)
  // is closed with the master at a hang-up. `master` may also be a device
  // of OpenDevice: the tool is then at the far end of a real line.
  Line(UniqueFd master, UniqueFd heldSlave, const StopSignal& stop, uint32_t baud,
       uint32_t chunkSize, uint32_t dribbleMs);

  // Sends all of `bytes` in chunks, each as soon as a line at the baud rate
  // would have carried its last byte (8N1: 10 bits a byte), paced by
  // absolute deadlines.
  IoResult Write(std::span<const uint8_t> bytes);

  // True when a write would not block now (the tool's buffer has room).
  bool Writable() const;

  // Exactly `n` bytes into `out` (appended), or fewer when the deadline passes.
  IoResult Read(std::size_t n, Bytes& out, Clock::time_point deadline);

  // Puts bytes back in front of the next read.
  void Unread(std::span<const uint8_t> bytes);

  // False when stopped.
  bool SleepUntil(Clock::time_point deadline) const;
  bool Sleep(Clock::duration d) const { return SleepUntil(Clock::now() + d); }

  // Bytes received but not yet taken by a read.
  std::size_t Pending() const { return pending_.size(); }

  // Waits until the tool has taken every byte sent, or the deadline (or a
  // stop, when `stoppable`). Closing the master discards what the slave has
  // not read yet.
  void Drain(Clock::time_point deadline, bool stoppable = true) const;

  // Closes both ends the box holds, as a pulled cable would, once drained.
  void HangUp(Clock::time_point drainDeadline);
  bool Closed() const { return closed_; }
  // A serial device rather than a pseudo-terminal master: nothing tells
  // when the tool opens or closes its port.
  bool OnDevice() const { return device_; }

  // Lets go of the held slave, then waits until no slave is open any more:
  // the tool has closed its port (or never opened it). True then or when the
  // line is closed; false at the deadline or once `cancelled` returns true.
  // Ignores the stop; a signal's handler cuts a wait slice short.
  bool AwaitSlaveClosed(Clock::time_point deadline, const std::function<bool()>& cancelled);

 private:
  IoResult WriteAll(std::span<const uint8_t> bytes);
  // Waits for `events` on the master or the stop; kTimeout at the deadline.
  IoResult WaitFor(short events, Clock::time_point deadline) const;

  UniqueFd master_;
  UniqueFd heldSlave_;
  int fd_;
  const StopSignal& stop_;
  uint32_t baud_;
  uint32_t chunkSize_;
  uint32_t dribbleMs_;
  Clock::time_point paceBase_{};
  uint64_t pacedBytes_ = 0;
  std::deque<uint8_t> pending_;
  bool device_ = false;
  bool closed_ = false;
};

}  // namespace boxsim
