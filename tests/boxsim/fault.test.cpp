#include "tools/boxsim/fault.h"

#include <gtest/gtest.h>

namespace boxsim {
namespace {

TEST(FaultParse, AcceptsEachFormAndRoundTrips) {
  const struct {
    const char* text;
    Fault fault;
  } cases[] = {
      {"silence", {FaultKind::kSilence, 0, 1, 0}},
      {"junk", {FaultKind::kJunk, 0, 1, 5}},
      {"junk=12", {FaultKind::kJunk, 0, 1, 12}},
      {"corrupt=3", {FaultKind::kCorrupt, 3, 1, 0}},
      {"corrupt=3:2", {FaultKind::kCorrupt, 3, 2, 0}},
      {"bad-length=0:0xFFFFFFF0", {FaultKind::kBadLength, 0, 1, 0xFFFFFFF0u}},
      {"bad-length=2:8193", {FaultKind::kBadLength, 2, 1, 8193}},
      {"huge-total", {FaultKind::kHugeTotal, 0, 1, 0xFFFFFFFFu}},
      {"cut=4", {FaultKind::kCut, 4, 1, 0}},
      {"cut=4:100", {FaultKind::kCut, 4, 1, 100}},
      {"dribble", {FaultKind::kDribble, 0, 1, 2}},
      {"hangup=7", {FaultKind::kHangUp, 7, 1, 0}},
      {"empty", {FaultKind::kEmpty, 0, 1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto fault = Fault::Parse(c.text);
    ASSERT_TRUE(fault);
    EXPECT_EQ(*fault, c.fault);
    EXPECT_EQ(Fault::Parse(fault->ToString()), fault);
  }
}

TEST(FaultParse, RefusesMalformedText) {
  for (const char* text : {"", "nonsense", "silence=1", "corrupt", "corrupt=", "corrupt=x",
                           "corrupt=1:0", "corrupt=1:2:3", "bad-length=1", "hangup=1:2", "junk=-1",
                           "huge-total=0x100000000", "corrupt=99999999999"}) {
    SCOPED_TRACE(text);
    std::string error;
    EXPECT_FALSE(Fault::Parse(text, &error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(FaultFind, MatchesPacketFaultsByPacket) {
  const Fault faults[] = {*Fault::Parse("corrupt=1:2"), *Fault::Parse("corrupt=4"),
                          *Fault::Parse("empty")};
  EXPECT_EQ(FindFault(faults, FaultKind::kCorrupt, 4u), &faults[1]);
  EXPECT_EQ(FindFault(faults, FaultKind::kCorrupt, 2u), nullptr);
  EXPECT_EQ(FindFault(faults, FaultKind::kEmpty), &faults[2]);
  EXPECT_EQ(FindFault(faults, FaultKind::kSilence), nullptr);
}

}  // namespace
}  // namespace boxsim
