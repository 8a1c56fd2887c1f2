// The port's background threads as `top -H` shows them: named, and the
// dispatcher thread left asleep while nobody listens for notifications.
#include <dirent.h>

#include <fstream>
#include <map>
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

}  // namespace
