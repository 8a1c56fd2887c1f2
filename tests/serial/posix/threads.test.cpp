// The port's background threads as `top -H` shows them: named, and the
// dispatcher thread left asleep while nobody listens for notifications.
#include <dirent.h>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "tests/serial/port_fixture.h"

namespace {

// Thread name -> voluntary context switches, for this process's threads.
std::map<std::string, long> Threads() {
  std::map<std::string, long> out;
  DIR* dir = ::opendir("/proc/self/task");
  if (!dir) return out;
  while (const dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    const std::string base = std::string("/proc/self/task/") + e->d_name;
    std::string name;
    std::getline(std::ifstream(base + "/comm"), name);
    std::ifstream status(base + "/status");
    long switches = 0;
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) switches = std::stol(line.substr(24));
    }
    out[name] += switches;
  }
  ::closedir(dir);
  return out;
}

// Thread name -> CPU time (user and system, in clock ticks) of this process's
// threads.
std::map<std::string, long> CpuTicks() {
  std::map<std::string, long> out;
  DIR* dir = ::opendir("/proc/self/task");
  if (!dir) return out;
  while (const dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::string stat;
    std::getline(std::ifstream(std::string("/proc/self/task/") + e->d_name + "/stat"), stat);
    const size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    // After the name: state, then ten fields, then user and system time.
    std::istringstream rest(stat.substr(close + 1));
    std::string field;
    for (int i = 0; i < 11; ++i) rest >> field;
    long user = 0, system = 0;
    rest >> user >> system;
    out[stat.substr(open + 1, close - open - 1)] += user + system;
  }
  ::closedir(dir);
  return out;
}

TEST(PortThreads, EachHasItsName) {
  TOpenPort<> Port;
  const auto T = Threads();
  for (const char* Name : {"ComRead", "ComWrite", "ComStatus", "ComDisp"}) {
    EXPECT_EQ(T.count(Name), 1u) << Name;
  }
}

TEST(PortThreads, ChunksReachTheReaderWithoutWakingTheDispatcherThread) {
  TOpenPort<> Port;
  const long Before = Threads()["ComDisp"];
  constexpr int kChunks = 40;
  for (int I = 0; I < kChunks; ++I) {
    // One chunk at a time, each in the buffer before the next is sent.
    Port.Receive(Pattern(64, uint32_t(I)));
    EXPECT_EQ(Port.Get(64), Pattern(64, uint32_t(I)));
  }
  // Its own beat wakes it twice a second; a wake per chunk would be 40.
  EXPECT_LT(Threads()["ComDisp"] - Before, kChunks / 4);
}

// A stop leaves the wake descriptors signalled (the end, the output flush);
// the threads of the next start must not find them so and spin.
TEST(PortThreads, RestartedOnTheSameDispatcherTheyStayIdle) {
  TPtyPair Pty;
  TRecordingOwner Owner;
  TRivuPosixDispatcher D(&Owner);
  for (int Run = 0; Run < 2; ++Run) {
    ASSERT_EQ(D.InitPort(Pty.SlavePath(), 115200, 0, 8, 1, kTestBufSize, kTestBufSize, 1), 0);
    ASSERT_EQ(D.ThreadCountNow(), 4);
    ASSERT_EQ(D.PutString("run"), 0);
    EXPECT_EQ(Pty.Read(3, std::chrono::seconds(20)), Bytes("run"));
    if (Run == 0) D.DonePort();
  }
  const auto Before = CpuTicks();
  std::this_thread::sleep_for(std::chrono::seconds(1));  // the span measured
  const auto After = CpuTicks();
  for (const char* Name : {"ComRead", "ComWrite", "ComStatus"}) {
    ASSERT_EQ(After.count(Name), 1u) << Name;
    // A thread spinning on a signalled descriptor takes most of the second.
    EXPECT_LT(After.at(Name) - Before.at(Name), 10) << Name;
  }
  // And they still do their work.
  Pty.Write(Bytes("ok"));
  ASSERT_TRUE(WaitUntil([&] { return D.InBuffUsed() == 2; }));
  EXPECT_TRUE(Owner.Seen().empty());
}

}  // namespace
