#include "tools/boxsim/fault.h"

#include <array>
#include <charconv>

namespace boxsim {
namespace {

// How a fault is written: its name and which arguments it takes.
enum class Args { kNone, kValue, kPacket, kPacketCount, kPacketValue };

struct Syntax {
  FaultKind kind;
  std::string_view name;
  Args args;
  bool argsRequired;
  uint64_t defaultValue;
  std::string_view usage;
};

constexpr std::array<Syntax, 15> kSyntax{{
    {FaultKind::kSilence, "silence", Args::kNone, false, 0, "never sends or answers anything"},
    {FaultKind::kNoGreeting, "no-greeting", Args::kNone, false, 0,
     "sends no greeting, answers the request"},
    {FaultKind::kJunk, "junk", Args::kValue, false, 5,
     "junk[=N]: N stray bytes before the greeting (or alone, with no-greeting)"},
    {FaultKind::kBadGreeting, "bad-greeting", Args::kNone, false, 0, "greets with 4B 47 58"},
    {FaultKind::kRefuseRequest, "refuse-request", Args::kNone, false, 0,
     "answers the request with another word than UP_ACCEPTED"},
    {FaultKind::kRefuseHeader, "refuse-header", Args::kNone, false, 0,
     "answers the request header with another word than HEADER_ACCEPTED"},
    {FaultKind::kBadResponseHeader, "bad-header", Args::kNone, false, 0,
     "sends a response header with a wrong magic"},
    {FaultKind::kCorrupt, "corrupt", Args::kPacketCount, true, 0,
     "corrupt=K[:N]: packet K fails its CRC on its first N sends"},
    {FaultKind::kBadLength, "bad-length", Args::kPacketValue, true, 0,
     "bad-length=K:V: packet K's first send has length field V (then the true frame body)"},
    {FaultKind::kOverrun, "overrun", Args::kValue, false, 100,
     "overrun[=N]: announces N bytes fewer than it sends"},
    {FaultKind::kHugeTotal, "huge-total", Args::kValue, false, 0xFFFFFFFFu,
     "huge-total[=V]: announces a total of V bytes"},
    {FaultKind::kCut, "cut", Args::kPacketValue, true, 0,
     "cut=K[:N]: packet K's first send stops after N bytes (half), silent until answered"},
    {FaultKind::kDribble, "dribble", Args::kValue, false, 2, "dribble[=MS]: one byte every MS ms"},
    {FaultKind::kHangUp, "hangup", Args::kPacket, true, 0,
     "hangup=K: closes the line after sending packet K"},
    {FaultKind::kEmpty, "empty", Args::kNone, false, 0,
     "END_MARKER right after the response header"},
}};

const Syntax& SyntaxOf(FaultKind kind) {
  for (const Syntax& s : kSyntax) {
    if (s.kind == kind) return s;
  }
  return kSyntax[0];
}

// Decimal, or hexadecimal with 0x.
std::optional<uint64_t> ParseNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<Fault> Fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
  return std::nullopt;
}

}  // namespace

std::optional<Fault> Fault::Parse(std::string_view text, std::string* error) {
  const std::size_t eq = text.find('=');
  const std::string_view name = text.substr(0, eq);
  const Syntax* syntax = nullptr;
  for (const Syntax& s : kSyntax) {
    if (s.name == name) syntax = &s;
  }
  if (!syntax) return Fail(error, "unknown fault \"" + std::string(name) + "\"");

  Fault fault;
  fault.kind = syntax->kind;
  fault.value = syntax->defaultValue;
  if (eq == std::string_view::npos) {
    if (syntax->argsRequired) return Fail(error, "fault \"" + std::string(name) + "\" needs =...");
    return fault;
  }
  if (syntax->args == Args::kNone) {
    return Fail(error, "fault \"" + std::string(name) + "\" takes no argument");
  }

  const std::string_view args = text.substr(eq + 1);
  const std::size_t colon = args.find(':');
  const std::optional<uint64_t> first = ParseNumber(args.substr(0, colon));
  std::optional<uint64_t> second;
  if (colon != std::string_view::npos) {
    second = ParseNumber(args.substr(colon + 1));
    if (!second || syntax->args == Args::kValue || syntax->args == Args::kPacket) {
      return Fail(error, "bad argument in \"" + std::string(text) + "\"");
    }
  }
  if (!first) return Fail(error, "bad argument in \"" + std::string(text) + "\"");

  if (syntax->args == Args::kValue) {
    fault.value = *first;
  } else {
    if (*first > UINT32_MAX)
      return Fail(error, "packet number too large in \"" + std::string(text) + "\"");
    fault.packet = static_cast<uint32_t>(*first);
    if (syntax->args == Args::kPacketCount && second) {
      if (*second == 0 || *second > UINT32_MAX) {
        return Fail(error, "bad count in \"" + std::string(text) + "\"");
      }
      fault.count = static_cast<uint32_t>(*second);
    }
    if (syntax->args == Args::kPacketValue) {
      if (!second && fault.kind == FaultKind::kBadLength) {
        return Fail(error, "bad-length needs a length field: bad-length=K:V");
      }
      if (second) fault.value = *second;
    }
  }
  if ((fault.kind == FaultKind::kBadLength || fault.kind == FaultKind::kHugeTotal) &&
      fault.value > UINT32_MAX) {
    return Fail(error, "value does not fit 32 bits in \"" + std::string(text) + "\"");
  }
  return fault;
}

std::string Fault::ToString() const {
  const Syntax& syntax = SyntaxOf(kind);
  std::string text(syntax.name);
  switch (syntax.args) {
    case Args::kNone:
      break;
    case Args::kValue:
      text += "=" + std::to_string(value);
      break;
    case Args::kPacket:
      text += "=" + std::to_string(packet);
      break;
    case Args::kPacketCount:
      text += "=" + std::to_string(packet) + ":" + std::to_string(count);
      break;
    case Args::kPacketValue:
      text += "=" + std::to_string(packet) + ":" + std::to_string(value);
      break;
  }
  return text;
}

const Fault* FindFault(std::span<const Fault> faults, FaultKind kind,
                       std::optional<uint32_t> packet) {
  for (const Fault& fault : faults) {
    if (fault.kind == kind && (!packet || fault.packet == *packet)) return &fault;
  }
  return nullptr;
}

std::string FaultUsage() {
  std::string text;
  for (const Syntax& s : kSyntax) {
    text += "      ";
    text += s.usage.find(s.name) == 0 ? std::string(s.usage)
                                      : std::string(s.name) + ": " + std::string(s.usage);
    text += '\n';
  }
  return text;
}

}  // namespace boxsim
