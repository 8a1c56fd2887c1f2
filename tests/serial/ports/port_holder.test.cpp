#include "serial/ports/port_holder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/e2e/child_process.h"
#include "tests/serial/port_scratch.h"
#include "tests/support/wait_until.h"

namespace {

using port_scratch::TPty;

// The pair keeps its own descriptor of the slave: this process is a holder too.
TEST(PortHolder, NamesTheProgramAndProcessThatHoldTheDevice) {
  TPty line;
  auto pids = [&] {
    std::vector<int> out;
    for (const TPortHolder& h : FindPortHolders(line.Path())) out.push_back(h.Pid);
    return out;
  };
  EXPECT_EQ(pids(), std::vector<int>{::getpid()});

  // flock(1) opens the device, locks it and keeps only its own descriptor.
  // Its own process group: the sleep it starts goes with it.
  e2e::TChildOptions own;
  own.ownGroup = true;
  e2e::TChild holder("/usr/bin/flock", {"-o", line.Path(), "/bin/sleep", "60"}, own);
  ASSERT_TRUE(holder.Started());
  // Between fork and exec the child is still a copy of this program holding the
  // inherited descriptor, so wait for the name to change, not just the count.
  std::vector<TPortHolder> found;
  const auto other = [&] { return found[0].Pid == ::getpid() ? found[1] : found[0]; };
  ASSERT_TRUE(WaitUntil([&] {
    found = FindPortHolders(line.Path());
    return found.size() == 2 && other().Program == "flock";
  })) << HeldText(found);
  EXPECT_EQ(other().Pid, holder.Pid());
  EXPECT_NE(HeldText(found).find("flock (pid " + std::to_string(holder.Pid()) + ")"),
            std::string::npos);
}

TEST(PortHolder, NothingHoldsAMissingDevice) {
  EXPECT_TRUE(FindPortHolders("/nonexistent/ttyUSB9").empty());
  EXPECT_TRUE(FindPortHolders("").empty());
}

TEST(PortHolder, HeldTextListsEveryHolderOrSaysSomeoneUnseen) {
  EXPECT_EQ(HeldText({}), "held by another program");
  EXPECT_EQ(HeldText({{7, "minicom"}, {9, "screen"}, {12, "cat"}}),
            "held by minicom (pid 7), screen (pid 9) and cat (pid 12)");
}

}  // namespace
