#include "tools/boxsim/box.h"

#include <algorithm>
#include <cstdio>

namespace boxsim {
namespace {

// Stray bytes that cannot be mistaken for the start of a greeting.
Bytes JunkBytes(uint64_t count) {
  Bytes junk;
  for (uint64_t i = 0; junk.size() < count; ++i) {
    const uint8_t b = i == 0 ? 0x00 : i == 1 ? 0xFF : static_cast<uint8_t>(i * 37 + 11);
    if (b != kGreeting[0]) junk.push_back(b);
  }
  return junk;
}

std::string Printable(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t b : bytes) text += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
  return text;
}

std::string Format(const char* format, auto... args) {
  char text[256];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace

std::string_view OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kCompleted:
      return "completed";
    case Outcome::kRefused:
      return "refused";
    case Outcome::kTimedOut:
      return "timed out";
    case Outcome::kInterrupted:
      return "interrupted by a new request";
    case Outcome::kHungUp:
      return "hung up";
    case Outcome::kStopped:
      return "stopped";
  }
  return "?";
}

Box::Box(Line& line, const BoxOptions& options, ExchangeLog& log)
    : line_(line), options_(options), log_(log) {}

bool Box::Send(EventKind kind, Bytes bytes, std::string text, uint64_t value) {
  if (line_.Write(bytes) != IoResult::kOk) return false;
  Event event{.kind = kind, .sent = true, .value = value, .bytes = std::move(bytes)};
  event.text = std::move(text);
  if (kind == EventKind::kGreeting) event.attempt = greetings_;
  log_.Record(std::move(event));
  return true;
}

bool Box::SendJunk(Bytes junk) {
  const std::string text = "junk " + Hex(junk);
  return Send(EventKind::kJunk, std::move(junk), text);
}

bool Box::SendWord(EventKind kind, uint32_t word) {
  Bytes bytes;
  AppendWord(bytes, word);
  return Send(kind, std::move(bytes), WordName(word) + " (" + Hex(ToWire(word)) + ")", word);
}

void Box::Note(EventKind kind, std::string text) {
  Event event{.kind = kind};
  event.text = std::move(text);
  log_.Record(std::move(event));
}

Outcome Box::Failed(IoResult result) {
  switch (result) {
    case IoResult::kTimeout:
      return Outcome::kTimedOut;
    case IoResult::kClosed:
      Note(EventKind::kHangUp, "the line is closed");
      return Outcome::kHungUp;
    case IoResult::kOk:
    case IoResult::kStopped:
      break;
  }
  return Outcome::kStopped;
}

SessionResult Box::Serve() {
  SessionResult result;
  result.outcome = [&] {
    if (FindFault(options_.faults, FaultKind::kSilence)) return StaySilent();

    Outcome outcome = Outcome::kStopped;
    const std::optional<Request> request = AwaitRequest(outcome);
    if (!request) return outcome;
    result.type = request->type;

    const bool refuseRequest =
        !request->type || FindFault(options_.faults, FaultKind::kRefuseRequest);
    if (!line_.Sleep(options_.replyDelay)) return Outcome::kStopped;
    if (!SendWord(EventKind::kRequestReply, refuseRequest ? kRequestRefused : UP_ACCEPTED)) {
      return Failed(IoResult::kClosed);
    }
    if (refuseRequest) return Outcome::kRefused;

    Bytes header;
    const IoResult read = line_.Read(kHeaderSize, header, ReplyDeadline());
    if (read != IoResult::kOk) {
      if (read == IoResult::kTimeout) {
        Note(EventKind::kTimeout,
             Format("request header: %zu of 64 bytes within %lld ms", line_.Pending(),
                    static_cast<long long>(options_.replyTimeout.count())));
      }
      return Failed(read);
    }
    const bool refuseHeader =
        !HeaderAcceptable(header, *request) || FindFault(options_.faults, FaultKind::kRefuseHeader);
    if (!line_.Sleep(options_.replyDelay)) return Outcome::kStopped;
    if (!SendWord(EventKind::kHeaderReply, refuseHeader ? kHeaderRefused : HEADER_ACCEPTED)) {
      return Failed(IoResult::kClosed);
    }
    if (refuseHeader) return Outcome::kRefused;

    const Plan plan = MakePlan(options_, *request->type);
    const Bytes headerBytes(plan.header.begin(), plan.header.end());
    if (!Send(EventKind::kResponseHeader, headerBytes,
              Format("response header \"%s\", total %u",
                     Printable(std::span(headerBytes).first(13)).c_str(), plan.announced),
              plan.announced)) {
      return Failed(IoResult::kClosed);
    }
    result.delivered = headerBytes;
    // The tool refuses such a header and sends nothing more.
    if (FindFault(options_.faults, FaultKind::kBadResponseHeader)) return Outcome::kRefused;
    return SendPackets(plan, result);
  }();
  if (line_.Closed()) result.outcome = Outcome::kHungUp;
  Note(EventKind::kSessionEnd, "download " + std::string(OutcomeName(result.outcome)));
  return result;
}

Outcome Box::StaySilent() {
  while (true) {
    Bytes bytes;
    IoResult read = line_.Read(1, bytes, Clock::time_point::max());
    if (read == IoResult::kOk) read = line_.Read(line_.Pending(), bytes, Clock::time_point::max());
    if (read != IoResult::kOk) return Failed(read);
    Event event{.kind = EventKind::kStray, .bytes = bytes};
    event.text = "ignored " + Hex(bytes);
    log_.Record(std::move(event));
  }
}

std::optional<Box::Request> Box::AwaitRequest(Outcome& outcome) {
  const bool greet = !FindFault(options_.faults, FaultKind::kNoGreeting);
  const bool repeat = options_.greetingInterval.count() > 0;
  const Fault* junk = FindFault(options_.faults, FaultKind::kJunk);
  const bool badGreeting = FindFault(options_.faults, FaultKind::kBadGreeting) != nullptr;
  Clock::time_point nextGreeting = Clock::now();
  bool greeted = false;
  greetings_ = 0;

  Bytes stray;
  const auto flushStray = [&] {
    if (stray.empty()) return;
    Event event{.kind = EventKind::kStray, .ok = false, .bytes = stray};
    event.text = "stray " + Hex(stray);
    log_.Record(std::move(event));
    stray.clear();
  };

  // Without a greeting the junk is all the box sends, on the greeting's
  // schedule: a line that is busy but never greets.
  const bool speak = greet || junk;

  while (true) {
    if (speak && (!greeted || repeat) && Clock::now() >= nextGreeting) {
      flushStray();
      const bool sendJunk = junk && (greet ? !greeted : !greeted || line_.Writable());
      if (sendJunk && !SendJunk(JunkBytes(junk->value))) {
        outcome = Failed(line_.Closed() ? IoResult::kClosed : IoResult::kStopped);
        return std::nullopt;
      }
      // Repeats are skipped while nobody reads them, rather than piling up.
      if (greet && (!greeted || line_.Writable())) {
        ++greetings_;
        const auto& bytes = badGreeting ? kBadGreeting : kGreeting;
        if (!Send(EventKind::kGreeting, Bytes(bytes.begin(), bytes.end()),
                  (badGreeting ? "bad greeting " : "greeting ") + Hex(bytes))) {
          outcome = Failed(line_.Closed() ? IoResult::kClosed : IoResult::kStopped);
          return std::nullopt;
        }
      }
      greeted = true;
      nextGreeting += repeat ? Clock::duration(options_.greetingInterval) : Clock::duration::zero();
    }

    const Clock::time_point deadline = speak && repeat ? nextGreeting : Clock::time_point::max();
    Bytes first;
    IoResult read = line_.Read(1, first, deadline);
    if (read == IoResult::kTimeout) continue;
    if (read != IoResult::kOk) {
      flushStray();
      outcome = Failed(read);
      return std::nullopt;
    }
    if (first[0] != 0xAB) {
      stray.push_back(first[0]);
      continue;
    }
    // The rest of a word follows at once.
    Bytes rest;
    read = line_.Read(3, rest, Clock::now() + std::chrono::seconds(1));
    if (read == IoResult::kStopped || read == IoResult::kClosed) {
      outcome = Failed(read);
      return std::nullopt;
    }
    if (read == IoResult::kOk && rest[0] == 0x55 && rest[1] == 0x70) {
      flushStray();
      Request request{rest[2], TypeFromByte(rest[2])};
      Event event{
          .kind = EventKind::kRequest, .value = request.typeByte, .ok = request.type.has_value()};
      event.bytes = {0xAB, rest[0], rest[1], rest[2]};
      event.text = "UP_REQUEST (" + Hex(event.bytes) + "), type " +
                   (request.type ? std::string(Describe(*request.type).caption)
                                 : Format("%02X unknown", request.typeByte));
      log_.Record(std::move(event));
      return request;
    }
    stray.push_back(0xAB);
    line_.Unread(rest);
  }
}

bool Box::HeaderAcceptable(const Bytes& header, const Request& request) {
  const std::span<const uint8_t> bytes(header);
  const bool magicOk = std::equal(kHeaderMagic.begin(), kHeaderMagic.end(), bytes.begin(),
                                  [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; });
  const auto code = bytes.subspan(32, 3);
  const std::string_view expected = Describe(*request.type).code;
  // Logo has no code: the tool leaves there whatever it wrote last.
  const bool codeOk = expected.empty() ||
                      std::equal(expected.begin(), expected.end(), code.begin(),
                                 [](char c, uint8_t b) { return static_cast<uint8_t>(c) == b; });

  const bool ok = magicOk && codeOk;
  Event event{.kind = EventKind::kRequestHeader, .ok = ok, .bytes = header};
  event.text = "request header, magic \"" + Printable(bytes.first(kHeaderMagic.size())) +
               (magicOk ? "\" ok" : "\" WRONG") + ", code \"" + Printable(code) + "\"" +
               (codeOk ? " ok" : " WRONG, expected \"" + std::string(expected) + "\"");
  log_.Record(std::move(event));
  return ok;
}

Outcome Box::SendPackets(const Plan& plan, SessionResult& result) {
  const std::span<const uint8_t> content(plan.content);
  const std::size_t size = options_.payloadSize;
  const uint32_t count = static_cast<uint32_t>((content.size() + size - 1) / size);
  Outcome outcome = Outcome::kStopped;
  for (uint32_t index = 0; index < count; ++index) {
    const auto payload =
        content.subspan(index * size, std::min(size, content.size() - index * size));
    for (int attempt = 1;; ++attempt) {
      if (!SendPacket(index, attempt, payload, outcome)) return outcome;
      if (FindFault(options_.faults, FaultKind::kHangUp, index)) {
        Note(EventKind::kHangUp, Format("hanging up after packet %03u", index));
        line_.HangUp(ReplyDeadline());
        return Outcome::kHungUp;
      }
      const std::optional<uint32_t> reply = AwaitReply(index, outcome);
      if (!reply) return outcome;
      if (*reply == PACKET_OK) {
        result.delivered.insert(result.delivered.end(), payload.begin(), payload.end());
        break;
      }
      if (*reply == TRANSFER_ABORT) break;  // the tool gave up on it: go on with the next

      // PACKET_REPEAT; a tool that gives up sends TRANSFER_ABORT right after it.
      Bytes next;
      const IoResult read = line_.Read(kWordSize, next, Clock::now() + options_.abortGrace);
      if (read == IoResult::kStopped || read == IoResult::kClosed) return Failed(read);
      if (read == IoResult::kOk && ReadWord(next) == TRANSFER_ABORT) {
        Event event{.kind = EventKind::kReply,
                    .packet = index,
                    .attempt = attempt,
                    .value = TRANSFER_ABORT,
                    .bytes = next};
        event.text = Format("TRANSFER_ABORT for packet %03u: skipping it", index);
        log_.Record(std::move(event));
        break;
      }
      if (read == IoResult::kOk) line_.Unread(next);
    }
  }

  Bytes end;
  AppendWord(end, END_MARKER);
  AppendWord(end, plan.finalWord);
  if (!Send(EventKind::kEndMarker, std::move(end),
            Format("END_MARKER, final word %08X", plan.finalWord), plan.finalWord)) {
    return Failed(line_.Closed() ? IoResult::kClosed : IoResult::kStopped);
  }
  return Outcome::kCompleted;
}

bool Box::SendPacket(uint32_t index, int attempt, std::span<const uint8_t> payload,
                     Outcome& outcome) {
  Bytes frame = Frame(payload);
  std::string notes;
  if (const Fault* f = FindFault(options_.faults, FaultKind::kCorrupt, index);
      f && attempt <= static_cast<int>(f->count)) {
    // A payload byte, so the CRC field no longer matches (the CRC itself when
    // there is no payload).
    frame[kWordSize + payload.size() / 2] ^= 0x5A;
    notes += ", corrupted";
  }
  if (const Fault* f = FindFault(options_.faults, FaultKind::kBadLength, index);
      f && attempt == 1) {
    PackWord(frame.data(), static_cast<uint32_t>(f->value));
    notes += Format(", bad length field %08X", static_cast<uint32_t>(f->value));
  }
  std::size_t length = frame.size();
  if (const Fault* f = FindFault(options_.faults, FaultKind::kCut, index); f && attempt == 1) {
    length = f->value == 0 ? frame.size() / 2 : std::min<std::size_t>(f->value, frame.size() - 1);
    notes += Format(", cut after %zu of %zu bytes", length, frame.size());
  }
  frame.resize(length);

  Event event{.kind = EventKind::kPacket,
              .sent = true,
              .packet = index,
              .attempt = attempt,
              .value = payload.size() + kWordSize};
  event.text = Format("packet %03u send %d: N=%zu, payload %zu, CRC %08X%s", index, attempt,
                      payload.size() + kWordSize, payload.size(), Crc(payload), notes.c_str());
  if (line_.Write(frame) != IoResult::kOk) {
    outcome = Failed(line_.Closed() ? IoResult::kClosed : IoResult::kStopped);
    return false;
  }
  event.bytes = std::move(frame);
  log_.Record(std::move(event));
  return true;
}

std::optional<uint32_t> Box::AwaitReply(uint32_t index, Outcome& outcome) {
  while (true) {
    Bytes word;
    const IoResult read = line_.Read(kWordSize, word, ReplyDeadline());
    if (read != IoResult::kOk) {
      if (read == IoResult::kTimeout) {
        Note(EventKind::kTimeout, Format("no answer to packet %03u within %lld ms", index,
                                         static_cast<long long>(options_.replyTimeout.count())));
      }
      outcome = Failed(read);
      return std::nullopt;
    }
    const uint32_t value = ReadWord(word);
    if ((value & kRequestMask) == UP_REQUEST) {
      Event event{.kind = EventKind::kStray, .packet = index, .ok = false, .bytes = word};
      event.text = "a new request instead of an answer: download abandoned";
      log_.Record(std::move(event));
      line_.Unread(word);
      outcome = Outcome::kInterrupted;
      return std::nullopt;
    }
    const bool answer = value == PACKET_OK || value == PACKET_REPEAT || value == TRANSFER_ABORT;
    Event event{
        .kind = EventKind::kReply, .packet = index, .value = value, .ok = answer, .bytes = word};
    event.text = Format("%s for packet %03u", WordName(value).c_str(), index) +
                 (answer ? "" : ": not an answer, ignored");
    log_.Record(std::move(event));
    if (answer) return value;
  }
}

}  // namespace boxsim
