// Throughput of Crc32 against zlib's crc32 on small, packet-sized and large
// buffers. Prints MB/s for both and the ratio ours / zlib.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "download/crc32.h"

namespace {

using Clock = std::chrono::steady_clock;

// Bytes hashed per timed run: long enough to swamp clock noise.
constexpr std::size_t kBytesPerRun = 128u << 20;
constexpr int kRuns = 5;

volatile uint32_t sink;

// Best of several runs, in MB/s (10^6 bytes per second).
double MegabytesPerSecond(uint32_t (*crc)(uint32_t, const uint8_t*, uint32_t),
                          const std::vector<uint8_t>& data) {
  const std::size_t repeats = std::max<std::size_t>(1, kBytesPerRun / data.size());
  double best = 0;
  for (int run = 0; run < kRuns; ++run) {
    uint32_t value = 0;
    const auto start = Clock::now();
    for (std::size_t i = 0; i < repeats; ++i) {
      // Chaining keeps every call live and in order.
      value = crc(value, data.data(), static_cast<uint32_t>(data.size()));
    }
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    sink = value;
    best = std::max(best, static_cast<double>(repeats * data.size()) / elapsed.count() / 1e6);
  }
  return best;
}

uint32_t Zlib(uint32_t crc, const uint8_t* data, uint32_t length) {
  return static_cast<uint32_t>(crc32(crc, data, length));
}

}  // namespace

int main() {
  std::mt19937 rng(1);
  std::printf("%-8s %12s %12s %8s\n", "size", "Crc32 MB/s", "zlib MB/s", "ratio");
  const struct {
    const char* name;
    std::size_t size;
  } sizes[] = {{"64 B", 64}, {"8 KiB", 8u << 10}, {"1 MiB", 1u << 20}};
  for (const auto& s : sizes) {
    std::vector<uint8_t> data(s.size);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    if (Crc32(0, data.data(), static_cast<uint32_t>(data.size())) !=
        Zlib(0, data.data(), static_cast<uint32_t>(data.size()))) {
      std::fprintf(stderr, "Crc32 and zlib disagree on %s\n", s.name);
      return 1;
    }
    const double ours = MegabytesPerSecond(Crc32, data);
    const double zlib = MegabytesPerSecond(Zlib, data);
    std::printf("%-8s %12.0f %12.0f %8.2f\n", s.name, ours, zlib, ours / zlib);
  }
  return 0;
}
