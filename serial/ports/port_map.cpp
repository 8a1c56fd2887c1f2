#include "serial/ports/port_map.h"

#include <algorithm>
#include <mutex>
#include <optional>

namespace {

std::mutex gConfigLock;
std::optional<TPortMapConfig> gConfig;

}  // namespace

std::string TPortEntry::Description() const {
  return Product.empty() ? Path : Path + " (" + Product + ")";
}

const TPortEntry* TPortMap::Find(unsigned ComNum) const {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const TPortEntry& e) { return e.ComNum == ComNum; });
  return it == entries_.end() ? nullptr : &*it;
}

std::string TPortMap::PathOf(unsigned ComNum) const {
  const TPortEntry* e = Find(ComNum);
  return e ? e->Path : std::string();
}

void SetPortMapConfig(TPortMapConfig Config) {
  std::lock_guard lock(gConfigLock);
  gConfig = std::move(Config);
}

void ResetPortMapConfig() {
  std::lock_guard lock(gConfigLock);
  gConfig.reset();
}

TPortMapConfig CurrentPortMapConfig() {
  std::lock_guard lock(gConfigLock);
  return gConfig ? *gConfig : DefaultPortMapConfig();
}

TPortMap CurrentPortMap() {
  return TPortMap::Build(CurrentPortMapConfig());
}
