// How a simulated box behaves: shared by the program's command line and the
// tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <vector>

#include "tools/boxsim/content.h"
#include "tools/boxsim/exchange_log.h"
#include "tools/boxsim/fault.h"

namespace boxsim {

inline constexpr uint32_t kMaxBaud = 4'000'000;
inline constexpr uint32_t kMaxChunkSize = 4096;
inline constexpr std::chrono::milliseconds kMaxReplyDelay{60000};

struct BoxOptions {
  uint32_t baud = 115200;  // 0: no pacing
  // Bytes handed to the tool at once when paced, as a UART FIFO or a USB
  // serial adapter delivers them: 1 to kMaxChunkSize.
  uint32_t chunkSize = 64;
  uint32_t payloadSize = kMaxPayload;    // payload bytes per packet, 1 to kMaxPayload
  std::map<ContentType, Bytes> content;  // replaces the sample content of a type
  std::vector<Fault> faults;
  HeaderMagic magic = HeaderMagic::kTavra;
  bool once = true;  // serve one download, else one after another until stopped
  std::chrono::milliseconds greetingInterval{500};  // 0: greet once per download
  // Before each answer to the tool, for a box that takes its time; a quick
  // box answers as soon as the line allows.
  std::chrono::milliseconds replyDelay{0};
  // The longest the box waits for the tool once a download has begun. The
  // tool pauses up to about 1.1 s between packets.
  std::chrono::milliseconds replyTimeout{15000};
  // After PACKET_REPEAT, how long the box waits for a TRANSFER_ABORT that the
  // tool sends at once when it gives up on a packet.
  std::chrono::milliseconds abortGrace{250};
  ExchangeLog::Sink sink;  // sees every event as it happens
};

// What one download of `type` sends: the content, the header announcing it.
struct Plan {
  ResponseHeader header{};
  Bytes content;
  uint32_t announced = 0;  // total at offset 16
  uint32_t finalWord = 0;  // the word after END_MARKER: CRC-32 of the content
};

Plan MakePlan(const BoxOptions& options, ContentType type);

// Throws std::invalid_argument for options no box can honour.
void Validate(const BoxOptions& options);

}  // namespace boxsim
