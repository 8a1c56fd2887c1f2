// What the guest's checks share: a port opened the way the component opens
// one, on the real driver, and a tally of the checks made on it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "serial/platform/platform.h"
#include "serial/posix/posix_dispatcher.h"

namespace vmguest {

using namespace std::chrono_literals;

// Counts the checks that failed; each check prints one line.
class TTally {
 public:
  bool Check(bool Ok, const std::string& What) {
    std::printf("%s %s\n", Ok ? "ok  " : "FAIL", What.c_str());
    std::fflush(stdout);
    if (!Ok) ++Failed_;
    return Ok;
  }
  int ExitCode() const { return Failed_ == 0 ? 0 : 1; }

 private:
  int Failed_ = 0;
};

// Remembers the worst code a serial thread ended with, instead of throwing.
class TGuestOwner : public TDispatcherOwner {
 public:
  void CheckThreadResult(int32_t Code) override {
    if (Code < 0) Worst = Code;
  }
  std::atomic<int32_t> Worst{0};
};

struct TGuestPort {
  TGuestOwner Owner;
  TPlainPlatform Platform;
  TRivuPosixDispatcher D{&Owner, &Platform};

  int32_t Open(const std::string& Path, uint32_t Baud, uint32_t InSize = 16384,
               uint32_t OutSize = 16384) {
    return D.InitPort(Path, Baud, 0, 8, 1, InSize, OutSize, 1);
  }
  ~TGuestPort() { D.DonePort(); }
};

// Polls Condition until it holds or Timeout passes.
bool WaitFor(const std::function<bool()>& Condition, std::chrono::milliseconds Timeout = 10s);

// The subcommands, each an exit code.
int RunExpect(const std::string& Type, const std::string& Out);
int RunSettings(const std::string& Dev, const std::string& Driver);
int RunPurge(const std::string& Dev, uint32_t Seed, uint32_t Size, uint32_t Rounds);
int RunLines(const std::string& Dev, const std::string& Driver);
int RunPulled(const std::string& Dev, const std::string& NoFile, char** Command);
int RunReopen(const std::string& Dev);

}  // namespace vmguest
