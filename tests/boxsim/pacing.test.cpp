// A sanity check that the line is paced; timing figures belong in benchmarks.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace boxsim::testing
