// The receiver program against an in-process simulated box, for the
// benchmarks that time or weigh a whole download.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/e2e/child_process.h"
#include "tools/boxsim/simulator.h"

namespace recv_bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// A scratch folder for the files written, removed at the end.
class TScratchDir {
 public:
  TScratchDir() {
    std::string tmpl = (fs::temp_directory_path() / "zedazi-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~TScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// The receiver to measure: the one built here, or ZEDAZI_RECV (another
// build, to compare against).
inline std::string RecvProgram() {
  const char* other = std::getenv("ZEDAZI_RECV");
  return other && *other ? other : RECV_PROGRAM;
}

// zedazi-recv downloading the channel list from `box` into `dir`.
inline std::unique_ptr<e2e::TChild> StartRecv(const boxsim::BoxSimulator& box,
                                              const fs::path& dir) {
  e2e::TChildOptions options;
  options.cwd = dir.string();
  options.env.push_back("XDG_CONFIG_HOME=" + (dir / "config").string());
  return std::make_unique<e2e::TChild>(
      RecvProgram(),
      std::vector<std::string>{"--port", box.SlavePath(), "--type", "channels", "--output",
                               "out.tcn", "--quiet"},
      options);
}

inline boxsim::Bytes Content(std::size_t size) {
  boxsim::Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 131 + 7);
  return bytes;
}

}  // namespace recv_bench
