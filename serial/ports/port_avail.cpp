#include "serial/ports/port_avail.h"

bool UseDispatcherForAvail = true;
bool ShowPortsInUse = true;

TProbeResult ProbeComPort(unsigned ComNum, const TPortMap& Map) {
  if (ComNum == 0) return TProbeResult::prNoDevice;
  const TPortEntry* entry = Map.Find(ComNum);
  if (!entry) return TProbeResult::prNoDevice;
  if (UseDispatcherForAvail && DispatcherPortProbe) return DispatcherPortProbe(entry->Path);
  return ProbeDevice(entry->Path);
}

bool IsAvailableResult(TProbeResult Result) {
  return Result == TProbeResult::prOpened || (ShowPortsInUse && Result == TProbeResult::prInUse);
}

bool IsPortAvailable(unsigned ComNum) {
  if (ComNum == 0) return false;
  return IsPortAvailable(ComNum, CurrentPortMap());
}

bool IsPortAvailable(unsigned ComNum, const TPortMap& Map) {
  return IsAvailableResult(ProbeComPort(ComNum, Map));
}
