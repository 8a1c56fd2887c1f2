#include "tools/boxsim/cli.h"

#include <gtest/gtest.h>

namespace boxsim {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string_view>;

TEST(CommandLine, PacingAndReplyOptions) {
  std::string error;
  const auto defaults = ParseCommandLine(Args{}, error);
  ASSERT_TRUE(defaults) << error;
  EXPECT_EQ(defaults->box.chunkSize, 64u);
  EXPECT_EQ(defaults->box.replyDelay, 0ms);
  const auto line = ParseCommandLine(Args{"--chunk", "4096", "--reply-delay", "250"}, error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(line->box.chunkSize, 4096u);
  EXPECT_EQ(line->box.replyDelay, 250ms);
}

TEST(CommandLine, RefusesValuesNoBoxCanHonour) {
  const struct {
    Args args;
    std::string_view says;
  } cases[] = {
      {{"--chunk", "0"}, "bad value for --chunk: 0 (1 to 4096 bytes)"},
      {{"--chunk", "4097"}, "bad value for --chunk: 4097 (1 to 4096 bytes)"},
      {{"--chunk", "64k"}, "bad value for --chunk: 64k"},
      {{"--chunk"}, "--chunk needs a value"},
      {{"--reply-delay", "60001"}, "bad value for --reply-delay: 60001 (at most 60000 ms)"},
      {{"--reply-delay", "-1"}, "bad value for --reply-delay: -1"},
      {{"--baud", "4000001"}, "bad value for --baud: 4000001 (at most 4000000)"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseCommandLine(c.args, error)) << c.says;
    EXPECT_EQ(error, c.says);
  }
}

}  // namespace
}  // namespace boxsim
