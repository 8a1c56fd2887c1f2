#include "serial/ports/port_holder.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <optional>

#include "serial/errors/exceptions.h"

namespace fs = std::filesystem;

namespace {

std::optional<int> PidOf(const std::string& Name) {
  int pid = 0;
  auto [end, err] = std::from_chars(Name.data(), Name.data() + Name.size(), pid);
  if (err != std::errc() || end != Name.data() + Name.size() || pid <= 0) return std::nullopt;
  return pid;
}

bool HasOpen(const fs::path& FdDir, const fs::path& Device) {
  std::error_code ec;
  for (fs::directory_iterator it(FdDir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code lec;
    if (fs::read_symlink(it->path(), lec) == Device && !lec) return true;
  }
  return false;
}

// argv[0] without its folder; the kernel's short name when the command line is
// empty (a kernel thread) or unreadable.
std::string ProgramOf(const fs::path& ProcessDir) {
  std::ifstream cmdline(ProcessDir / "cmdline", std::ios::binary);
  std::string argv0;
  if (cmdline && std::getline(cmdline, argv0, '\0') && !argv0.empty())
    return fs::path(argv0).filename().string();
  std::ifstream comm(ProcessDir / "comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? std::string("?") : name;
}

}  // namespace

std::vector<TPortHolder> FindPortHolders(const std::string& Path, const fs::path& ProcDir) {
  std::vector<TPortHolder> holders;
  std::error_code ec;
  const fs::path device = fs::canonical(Path, ec);
  if (ec) return holders;
  for (fs::directory_iterator it(ProcDir, ec), end; !ec && it != end; it.increment(ec)) {
    auto pid = PidOf(it->path().filename().string());
    if (!pid || !HasOpen(it->path() / "fd", device)) continue;
    holders.push_back({*pid, ProgramOf(it->path())});
  }
  std::sort(holders.begin(), holders.end(),
            [](const TPortHolder& a, const TPortHolder& b) { return a.Pid < b.Pid; });
  return holders;
}

std::string HeldText(const std::vector<TPortHolder>& Holders) {
  if (Holders.empty()) return "held by another program";
  std::string text = "held by ";
  for (std::size_t i = 0; i < Holders.size(); ++i) {
    if (i > 0) text += i + 1 == Holders.size() ? " and " : ", ";
    text += Holders[i].Program + " (pid " + std::to_string(Holders[i].Pid) + ")";
  }
  return text;
}

std::string OpenFailureText(const std::exception& Failure, const std::string& Path) {
  std::string text = Failure.what();
  if (dynamic_cast<const EAlreadyOpen*>(&Failure) && !Path.empty()) {
    text += ", " + HeldText(FindPortHolders(Path));
  }
  return text;
}
