// A fault the simulated box commits on demand, as a small value parsed from
// text such as "corrupt=3:2" (packet 3 is corrupted on its first 2 sends).
// Packets are numbered from 0, as the tool's log numbers them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace boxsim {

enum class FaultKind {
  kSilence,            // "silence": sends nothing, answers nothing
  kNoGreeting,         // "no-greeting": no greeting, but answers the request
  kJunk,               // "junk[=N]": N stray bytes (no 4B among them) before the greeting
  kBadGreeting,        // "bad-greeting": 4B 47 58
  kRefuseRequest,      // "refuse-request": another word than UP_ACCEPTED
  kRefuseHeader,       // "refuse-header": another word than HEADER_ACCEPTED
  kBadResponseHeader,  // "bad-header": response header with a wrong magic
  kCorrupt,            // "corrupt=K[:N]": packet K's first N sends carry a bad CRC
  kBadLength,          // "bad-length=K:V": packet K's first send has length field V
  kOverrun,            // "overrun[=N]": announces N bytes fewer than it sends
  kHugeTotal,          // "huge-total[=V]": announces V (4 GiB - 1) whatever it sends
  kCut,                // "cut=K[:N]": packet K's first send stops after N bytes
  kDribble,            // "dribble[=MS]": every byte alone, MS apart
  kHangUp,             // "hangup=K": closes the line after sending packet K
  kEmpty,              // "empty": END_MARKER right after the response header
};

struct Fault {
  FaultKind kind = FaultKind::kSilence;
  uint32_t packet = 0;  // the packet a per-packet fault hits
  uint32_t count = 1;   // corrupt: how many sends of it
  uint64_t value = 0;   // junk bytes, length field, bytes short, total, bytes cut, dribble ms

  // Null with `error` set when `text` is not a fault.
  static std::optional<Fault> Parse(std::string_view text, std::string* error = nullptr);
  std::string ToString() const;

  bool operator==(const Fault&) const = default;
};

// The fault of `kind` in `faults`, or null; for per-packet kinds only the one
// that hits `packet`.
const Fault* FindFault(std::span<const Fault> faults, FaultKind kind,
                       std::optional<uint32_t> packet = std::nullopt);

// One line per fault for --help.
std::string FaultUsage();

}  // namespace boxsim
