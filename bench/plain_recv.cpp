// The floor for the receiver's CPU: the same exchange with the same pauses,
// done with nothing but blocking read() and write() on the line.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "download/protocol.h"
#include "download/request_header.h"

namespace {

int fd = -1;

void ReadExactly(uint8_t* out, std::size_t n) {
  while (n > 0) {
    const ssize_t got = ::read(fd, out, n);
    if (got <= 0) {
      std::perror("read");
      std::exit(1);
    }
    out += got;
    n -= static_cast<std::size_t>(got);
  }
}

uint32_t ReadWord() {
  uint8_t w[kWordSize];
  ReadExactly(w, sizeof w);
  return UnpackWord(w);
}

void WriteWord(uint32_t word) {
  const WordBytes w = ToWire(word);
  if (::write(fd, w.data(), w.size()) != ssize_t(w.size())) std::exit(1);
}

void Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: plain_recv LINE\n");
    return 2;
  }
  fd = ::open(argv[1], O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  if (fd < 0 || ::tcgetattr(fd, &t) != 0) return 1;
  ::cfmakeraw(&t);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  ::tcsetattr(fd, TCSANOW, &t);

  uint8_t byte = 0;
  do ReadExactly(&byte, 1);
  while (byte != kGreeting[0]);
  uint8_t rest[2];
  ReadExactly(rest, 2);
  WriteWord(UpRequestWord(ContentType::ctChannels));
  // Greetings still on their way come first.
  do ReadExactly(&byte, 1);
  while (byte != ToWire(UP_ACCEPTED)[0]);
  uint8_t reply[kWordSize] = {byte};
  ReadExactly(reply + 1, 3);
  if (UnpackWord(reply) != UP_ACCEPTED) return 1;
  Pause(550);
  const HeaderBlock request = RequestHeader::Instance().Apply(ContentType::ctChannels);
  if (::write(fd, request.data(), request.size()) != ssize_t(request.size())) return 1;
  if (ReadWord() != HEADER_ACCEPTED) return 1;
  Pause(520);
  ResponseHeader header;
  ReadExactly(header.data(), header.size());
  std::vector<uint8_t> content;
  std::vector<uint8_t> packet(kMaxPacketLength);
  for (uint32_t length; (length = ReadWord()) != END_MARKER;) {
    if (length < kMinPacketLength || length > kMaxPacketLength) return 1;
    Pause(750);
    ReadExactly(packet.data(), length);
    if (!PacketIntact({packet.data(), length})) return 1;
    content.insert(content.end(), packet.begin(), packet.begin() + (length - 4));
    Pause(320);
    WriteWord(PACKET_OK);
  }
  ReadWord();
  std::printf("%zu\n", content.size());
  return 0;
}
