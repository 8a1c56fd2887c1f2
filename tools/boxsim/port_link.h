// The link that gives the simulator's line a COM number: `comN` in the port
// links folder, pointing at the pseudo-terminal, removed again on destruction.
#pragma once

#include <filesystem>
#include <string>

namespace boxsim {

// $XDG_CONFIG_HOME/zedazi/ports, or ~/.config/zedazi/ports.
std::filesystem::path PortLinksFolder();

class PortLink {
 public:
  // Creates the folders as needed and replaces a link left by an earlier run;
  // throws std::filesystem::filesystem_error when `path` is anything else.
  PortLink(std::filesystem::path path, const std::string& target);
  ~PortLink();
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace boxsim
