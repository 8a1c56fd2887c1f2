// A minimal tool driven by the tests: it opens the simulator's slave side and
// speaks the tool's half of the protocol one step at a time.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>

#include "download/request_header.h"
#include "tools/boxsim/simulator.h"
#include "tools/boxsim/wire.h"

namespace boxsim::testing {

using namespace std::chrono_literals;

class ScriptedTool {
 public:
  explicit ScriptedTool(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
  // On a line the test already holds, such as a master whose slave the box serves.
  explicit ScriptedTool(UniqueFd fd) : fd_(std::move(fd)) {}

  bool Open() const { return static_cast<bool>(fd_); }
  // True once the box closed its end: reads fail or see end of file.
  bool HungUp() { return lastReadFailed_; }

  void Send(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_.Get(), bytes.data(), bytes.size());
      if (n > 0) {
        bytes = bytes.subspan(static_cast<std::size_t>(n));
      } else {
        pollfd p{fd_.Get(), POLLOUT, 0};
        if (::poll(&p, 1, 1000) < 0 || (p.revents & (POLLHUP | POLLERR))) return;
      }
    }
  }
  void SendWord(uint32_t word) {
    const WordBytes bytes = ToWire(word);
    Send(bytes);
  }

  // Up to `n` bytes; fewer when nothing more comes within `quiet`.
  Bytes Read(std::size_t n, std::chrono::milliseconds quiet = 10s) {
    Bytes out;
    bool polledReadable = false;
    while (out.size() < n) {
      uint8_t buffer[8192];
      const ssize_t got = ::read(fd_.Get(), buffer, std::min(sizeof buffer, n - out.size()));
      if (got > 0) {
        out.insert(out.end(), buffer, buffer + got);
        polledReadable = false;
        continue;
      }
      // A pty slave may read 0 with data still to come; a hang-up shows as
      // EIO or in poll.
      if ((got < 0 && errno != EAGAIN && errno != EINTR) || (got == 0 && polledReadable)) {
        lastReadFailed_ = true;
        break;
      }
      pollfd p{fd_.Get(), POLLIN, 0};
      const int ready = ::poll(&p, 1, static_cast<int>(quiet.count()));
      if (ready <= 0) break;
      if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        lastReadFailed_ = true;
        break;
      }
      polledReadable = true;
    }
    return out;
  }
  uint32_t ReadWord() {
    const Bytes bytes = Read(kWordSize);
    return bytes.size() == kWordSize ? ReadWord(bytes) : 0;
  }
  static uint32_t ReadWord(const Bytes& bytes) { return boxsim::ReadWord(bytes); }

  // True when nothing arrives for `period`.
  bool Quiet(std::chrono::milliseconds period) { return Read(1, period).empty(); }

  // Greeting, request, request header and the box's two answers; returns the
  // response header, or nothing when a step went wrong (the test says which).
  std::optional<ResponseHeader> Begin(ContentType type) {
    if (Read(kGreeting.size()) != Bytes(kGreeting.begin(), kGreeting.end())) return std::nullopt;
    SendWord(UpRequestWord(type));
    if (ReadWord() != UP_ACCEPTED) return std::nullopt;
    RequestHeader request;
    SendRequestHeader(request.Apply(type));
    if (ReadWord() != HEADER_ACCEPTED) return std::nullopt;
    const Bytes header = Read(kHeaderSize);
    if (header.size() != kHeaderSize) return std::nullopt;
    ResponseHeader block{};
    std::copy(header.begin(), header.end(), block.begin());
    return block;
  }
  void SendRequestHeader(const HeaderBlock& block) { Send(block); }

  // A length field and the N bytes after it; N is END_MARKER at the end.
  struct Packet {
    uint32_t length = 0;
    Bytes body;  // payload and CRC
  };
  Packet ReadPacket() {
    Packet packet;
    packet.length = ReadWord();
    if (packet.length != END_MARKER && packet.length <= kMaxPacketLength) {
      packet.body = Read(packet.length);
    }
    return packet;
  }

  // Acknowledges every intact packet until END_MARKER; the content.
  Bytes ReceiveAll() {
    Bytes content;
    for (int guard = 0; guard < 100000; ++guard) {
      const Packet packet = ReadPacket();
      if (packet.length == END_MARKER || packet.length == 0) break;
      if (PacketIntact(packet.body)) {
        content.insert(content.end(), packet.body.begin(), packet.body.end() - kWordSize);
        SendWord(PACKET_OK);
      } else {
        SendWord(PACKET_REPEAT);
      }
    }
    return content;
  }

 private:
  UniqueFd fd_;
  bool lastReadFailed_ = false;
};

inline Bytes Pattern(std::size_t size, uint8_t seed = 1) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + seed);
  return bytes;
}

// Fast options for tests: no pacing, small content in small packets.
inline BoxOptions QuickOptions(std::size_t contentSize = 1000, uint32_t payload = 300) {
  BoxOptions options;
  options.baud = 0;
  options.payloadSize = payload;
  options.replyDelay = 0ms;
  options.abortGrace = 200ms;
  options.replyTimeout = 5s;
  for (const ContentTypeInfo& info : ContentTypes()) {
    options.content[info.type] = Pattern(contentSize, info.typeByte);
  }
  return options;
}

}  // namespace boxsim::testing
