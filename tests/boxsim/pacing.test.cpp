// A sanity check that the line is paced; timing figures belong in benchmarks.
#include <gtest/gtest.h>

#include <thread>

#include "tests/boxsim/scripted_tool.h"

namespace boxsim::testing {
namespace {

TEST(Pacing, TakesAtLeastMostOfTheWireTime) {
  BoxOptions options = QuickOptions(2000, 1000);
  options.baud = 19200;
  BoxSimulator box(options);
  ScriptedTool tool(box.SlavePath());
  ASSERT_EQ(tool.Read(3).size(), 3u);
  tool.SendWord(UpRequestWord(ContentType::ctData));
  ASSERT_EQ(tool.ReadWord(), UP_ACCEPTED);

  const auto start = std::chrono::steady_clock::now();
  RequestHeader request;
  tool.SendRequestHeader(request.Apply(ContentType::ctData));
  ASSERT_EQ(tool.ReadWord(), HEADER_ACCEPTED);
  ASSERT_EQ(tool.Read(kHeaderSize).size(), kHeaderSize);
  const ScriptedTool::Packet packet = tool.ReadPacket();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(PacketIntact(packet.body));

  const std::size_t bytes = 4 + kHeaderSize + 4 + packet.length;  // 1076 bytes
  const auto wire = std::chrono::microseconds(bytes * 10 * 1'000'000 / options.baud);
  EXPECT_GE(elapsed, wire * 8 / 10);
}

struct Arrival {
  std::size_t end;  // bytes received so far, this read included
  Clock::duration at;
};

// One paced write on a bare line, read on the slave as it arrives.
std::vector<Arrival> WriteAndWatch(uint32_t baud, uint32_t chunk, const Bytes& bytes) {
  PtyPair pty = OpenPty();
  StopSignal stop;
  Line line(std::move(pty.master), UniqueFd(), stop, baud, chunk, 0);
  const auto start = Clock::now();
  IoResult written = IoResult::kStopped;
  std::jthread writer([&] { written = line.Write(bytes); });

  std::vector<Arrival> arrivals;
  Bytes got;
  const auto deadline = start + 20s;
  while (got.size() < bytes.size() && Clock::now() < deadline) {
    pollfd p{pty.slave.Get(), POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0) continue;
    uint8_t buffer[8192];
    const ssize_t n = ::read(pty.slave.Get(), buffer, sizeof buffer);
    if (n <= 0) continue;
    got.insert(got.end(), buffer, buffer + n);
    arrivals.push_back({got.size(), Clock::now() - start});
  }
  writer.join();
  EXPECT_EQ(written, IoResult::kOk);
  EXPECT_EQ(got, bytes);
  return arrivals;
}

// A chunk reaches the tool whole, once its last byte would have crossed the
// line; a slow reader may take several chunks at once, never part of one.
TEST(Pacing, DeliversWholeChunksAtTheBaudRate) {
  const struct {
    uint32_t chunk;
    std::size_t size;
  } cases[] = {{64, 640}, {100, 650}};
  constexpr uint32_t kBaud = 9600;
  const auto byteTime = std::chrono::microseconds(10 * 1'000'000 / kBaud);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.chunk);
    const std::vector<Arrival> arrivals = WriteAndWatch(kBaud, c.chunk, Pattern(c.size));
    ASSERT_FALSE(arrivals.empty());
    // 6 or more chunks about 70 ms apart: they do not all come in one go.
    EXPECT_GE(arrivals.size(), 3u);
    for (const Arrival& a : arrivals) {
      EXPECT_TRUE(a.end % c.chunk == 0 || a.end == c.size) << a.end << " bytes";
    }
    EXPECT_GE(arrivals.front().at, byteTime * c.chunk * 9 / 10);
    EXPECT_GE(arrivals.back().at, byteTime * c.size * 9 / 10);
  }
}

}  // namespace
}  // namespace boxsim::testing
