// Which programs hold a serial device open, read from /proc/*/fd. Only the
// processes whose descriptors this user may read are seen: the user's own, or
// every one for root.
#pragma once

#include <exception>
#include <filesystem>
#include <string>
#include <vector>

struct TPortHolder {
  int Pid = 0;
  std::string Program;  // the name it was started by ("minicom")
};

// In increasing order of process id.
std::vector<TPortHolder> FindPortHolders(const std::string& Path,
                                         const std::filesystem::path& ProcDir = "/proc");

// "held by minicom (pid 4242)"; "held by another program" when none is seen.
std::string HeldText(const std::vector<TPortHolder>& Holders);

// An open's failure as the user reads it: its own text, and for a device that
// another program holds, who holds it ("..., held by flock (pid 4242)").
std::string OpenFailureText(const std::exception& Failure, const std::string& Path);
