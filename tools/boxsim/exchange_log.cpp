#include "tools/boxsim/exchange_log.h"

#include <algorithm>
#include <cstdio>

namespace boxsim {

std::string_view KindName(EventKind kind) {
  switch (kind) {
    case EventKind::kGreeting:
      return "greeting";
    case EventKind::kJunk:
      return "junk";
    case EventKind::kStray:
      return "stray";
    case EventKind::kRequest:
      return "request";
    case EventKind::kRequestReply:
      return "request-reply";
    case EventKind::kRequestHeader:
      return "request-header";
    case EventKind::kHeaderReply:
      return "header-reply";
    case EventKind::kResponseHeader:
      return "response-header";
    case EventKind::kPacket:
      return "packet";
    case EventKind::kReply:
      return "reply";
    case EventKind::kEndMarker:
      return "end";
    case EventKind::kTimeout:
      return "timeout";
    case EventKind::kHangUp:
      return "hang-up";
    case EventKind::kSessionEnd:
      return "session-end";
  }
  return "?";
}

std::string FormatEvent(const Event& event, std::chrono::steady_clock::time_point start) {
  const double seconds = std::chrono::duration<double>(event.at - start).count();
  const bool onWire = !event.bytes.empty();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%8.3f] %s ", seconds,
                onWire ? (event.sent ? "->" : "<-") : "  ");
  return stamp + event.text;
}

void ExchangeLog::Record(Event event) {
  event.at = std::chrono::steady_clock::now();
  std::lock_guard lock(mutex_);
  if (sink_) sink_(event);  // under the lock, so lines keep their order
  events_.push_back(std::move(event));
  changed_.notify_all();
}

std::vector<Event> ExchangeLog::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<Event> ExchangeLog::Events(EventKind kind) const {
  std::lock_guard lock(mutex_);
  std::vector<Event> found;
  std::copy_if(events_.begin(), events_.end(), std::back_inserter(found),
               [kind](const Event& e) { return e.kind == kind; });
  return found;
}

bool ExchangeLog::WaitFor(const std::function<bool(const Event&)>& match,
                          std::chrono::steady_clock::time_point deadline) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_until(lock, deadline,
                             [&] { return std::any_of(events_.begin(), events_.end(), match); });
}

}  // namespace boxsim
