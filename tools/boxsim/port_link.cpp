#include "tools/boxsim/port_link.h"

#include <cstdlib>
#include <system_error>

namespace boxsim {

namespace fs = std::filesystem;

fs::path PortLinksFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  fs::path base;
  if (config && *config == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = fs::path(home ? home : "/") / ".config";
  }
  return base / "zedazi" / "ports";
}

PortLink::PortLink(fs::path path, const std::string& target) : path_(std::move(path)) {
  if (path_.has_parent_path()) fs::create_directories(path_.parent_path());
  // A stale link from a run that was killed is ours to replace; a file or a
  // folder of that name is not.
  if (fs::is_symlink(fs::symlink_status(path_))) {
    fs::remove(path_);
  } else if (fs::exists(fs::symlink_status(path_))) {
    throw fs::filesystem_error("not a link, left alone", path_,
                               std::make_error_code(std::errc::file_exists));
  }
  fs::create_symlink(target, path_);
}

PortLink::~PortLink() {
  std::error_code ignored;
  fs::remove(path_, ignored);
}

}  // namespace boxsim
