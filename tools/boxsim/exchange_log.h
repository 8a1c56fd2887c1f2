// What passed on the line during the simulator's downloads, recorded for
// tests and printed by the program. Safe to read from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tools/boxsim/wire.h"

namespace boxsim {

enum class EventKind {
  kGreeting,        // sent: the greeting (good or bad)
  kJunk,            // sent: stray bytes before the greeting
  kStray,           // received: bytes that are not what the box waited for
  kRequest,         // received: UP_REQUEST; value = type byte, text names its type
  kRequestReply,    // sent: UP_ACCEPTED or a refusal
  kRequestHeader,   // received: the 64 bytes; text says what the checks found
  kHeaderReply,     // sent: HEADER_ACCEPTED or a refusal
  kResponseHeader,  // sent: the 64 bytes; value = the announced total
  kPacket,          // sent: one send of a packet frame (or what of it went out)
  kReply,           // received: the tool's answer to a packet; value = the word
  kEndMarker,       // sent: END_MARKER and the final word; value = the final word
  kTimeout,         // the tool did not send what the box waited for in time
  kHangUp,          // the box closed the line, or found it closed
  kSessionEnd,      // one download is over; text says how
};

struct Event {
  EventKind kind = EventKind::kStray;
  bool sent = false;    // box to tool, else tool to box
  int64_t packet = -1;  // packet number for packet events
  int attempt = 0;      // 1 for the first send of a packet, 2 for its first repeat, ...
  uint64_t value = 0;
  bool ok = true;      // the received bytes passed the box's checks
  Bytes bytes{};       // on the wire, as sent or received
  std::string text{};  // one readable line
  std::chrono::steady_clock::time_point at{};
};

std::string_view KindName(EventKind kind);

// "[  1.234] -> text" style line for printing, time relative to `start`.
std::string FormatEvent(const Event& event, std::chrono::steady_clock::time_point start);

class ExchangeLog {
 public:
  using Sink = std::function<void(const Event&)>;

  // `sink`, when given, sees every event as it is recorded, in order.
  explicit ExchangeLog(Sink sink = nullptr) : sink_(std::move(sink)) {}

  void Record(Event event);
  std::vector<Event> Events() const;
  std::vector<Event> Events(EventKind kind) const;

  // Waits until an event satisfies `match`; false at the deadline.
  bool WaitFor(const std::function<bool(const Event&)>& match,
               std::chrono::steady_clock::time_point deadline) const;

 private:
  Sink sink_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Event> events_;
};

}  // namespace boxsim
