// The box's side of one download, step by step, with the faults it is told
// to commit. Runs on the simulator's thread only.
#pragma once

#include <optional>

#include "tools/boxsim/exchange_log.h"
#include "tools/boxsim/line.h"
#include "tools/boxsim/options.h"

namespace boxsim {

enum class Outcome {
  kCompleted,    // END_MARKER and the final word went out
  kRefused,      // the box refused, or sent a response header the tool must refuse
  kTimedOut,     // the tool fell silent mid-download
  kInterrupted,  // a new request arrived mid-download; the next one serves it
  kHungUp,       // the line is gone
  kStopped,
};

std::string_view OutcomeName(Outcome outcome);

struct SessionResult {
  Outcome outcome = Outcome::kStopped;
  std::optional<ContentType> type;
  // Response header and the payloads the tool acknowledged, in order: the
  // file the tool should save. Empty when no response header went out.
  Bytes delivered;
};

class Box {
 public:
  Box(Line& line, const BoxOptions& options, ExchangeLog& log);

  // Greets, serves one request and returns when that download is over.
  SessionResult Serve();

 private:
  struct Request {
    uint8_t typeByte;
    std::optional<ContentType> type;
  };

  Outcome StaySilent();
  std::optional<Request> AwaitRequest(Outcome& outcome);
  bool HeaderAcceptable(const Bytes& header, const Request& request);
  Outcome SendPackets(const Plan& plan, SessionResult& result);
  // Sends send `attempt` of packet `index`; false when the line failed.
  bool SendPacket(uint32_t index, int attempt, std::span<const uint8_t> payload, Outcome& outcome);
  // The tool's answer word, skipping what is no answer; null when none came.
  std::optional<uint32_t> AwaitReply(uint32_t index, Outcome& outcome);

  bool Send(EventKind kind, Bytes bytes, std::string text, uint64_t value = 0);
  bool SendWord(EventKind kind, uint32_t word);
  bool SendJunk(Bytes junk);
  void Note(EventKind kind, std::string text);
  Outcome Failed(IoResult result);
  Clock::time_point ReplyDeadline() const { return Clock::now() + options_.replyTimeout; }

  Line& line_;
  const BoxOptions& options_;
  ExchangeLog& log_;
  int greetings_ = 0;
};

}  // namespace boxsim
