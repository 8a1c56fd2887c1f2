#include "serial/ports/port_choices.h"

#include "serial/ports/port_access.h"
#include "serial/ports/port_avail.h"
#include "serial/ports/port_holder.h"

TPortChoices ListPortChoices() {
  const TPortMap map = CurrentPortMap();
  TPortChoices choices;
  std::string refused;  // a device the user may not open, for the hint
  for (unsigned n = MinComNumber; n <= MaxComNumber; ++n) {
    const TProbeResult result = ProbeComPort(n, map);
    const TPortEntry* entry = map.Find(n);
    if (!IsAvailableResult(result)) {
      if (result == TProbeResult::prAccessDenied && refused.empty()) refused = entry->Path;
      continue;
    }
    std::string device = entry->Description();
    const bool held = result == TProbeResult::prInUse;
    if (held) device += ", " + HeldText(FindPortHolders(entry->Path));
    choices.Ports.push_back({n, "COM" + std::to_string(n), std::move(device), held});
  }
  if (!choices.Ports.empty()) return choices;
  if (!refused.empty()) {
    choices.EmptyText = "No permission to open " + refused;
    choices.EmptyAdvice = PermissionAdvice(refused);
  } else {
    choices.EmptyText = "No serial port found.";
  }
  return choices;
}
