// Helpers shared by the serial benchmarks.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "serial/posix/posix_dispatcher.h"
#include "tests/support/pty_pair.h"

using TClock = std::chrono::steady_clock;

inline double Seconds(TClock::duration D) {
  return std::chrono::duration<double>(D).count();
}

// An open port on a fresh pair, set up as the com port component sets it up.
struct TBenchPort {
  TPtyPair Pty;
  std::unique_ptr<TRivuPosixDispatcher> D = std::make_unique<TRivuPosixDispatcher>(nullptr);
  TBenchPort() {
    if (D->InitPort(Pty.SlavePath(), 115200, 0, 8, 1, 16384, 16384, 1) != 0) {
      std::fprintf(stderr, "cannot open %s\n", Pty.SlavePath().c_str());
      std::exit(1);
    }
    D->UpdateHandlerFlags(fuDisablePort);
    D->ChangeLengthTrigger(1);
  }
};

// Order-sensitive checksum of a byte stream.
struct THash {
  uint64_t H = 1469598103934665603ull;
  void Add(const uint8_t* P, size_t N) {
    for (size_t I = 0; I < N; ++I) H = (H ^ P[I]) * 1099511628211ull;
  }
};

inline std::vector<uint8_t> BenchPattern(size_t Len) {
  std::vector<uint8_t> Out(Len);
  uint32_t X = 2463534242u;
  for (auto& B : Out) {
    X ^= X << 13;
    X ^= X >> 17;
    X ^= X << 5;
    B = uint8_t(X);
  }
  return Out;
}
