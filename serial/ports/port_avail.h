// The availability test behind the port selection dialog, and the two
// module-wide settings that steer it.
#pragma once

#include <functional>
#include <string>

#include "serial/ports/port_map.h"
#include "serial/ports/port_probe.h"

// Test a port through the device layer's open and close rather than directly.
extern bool UseDispatcherForAvail;
// Count a port that another program holds as available.
extern bool ShowPortsInUse;

using TPortProbe = std::function<TProbeResult(const std::string& Path)>;

// The device layer's trial open (its OpenCom followed by CloseCom), used while
// UseDispatcherForAvail is set; when empty, the direct ProbeDevice stands in.
// Tests install their own to play results no real device can give here
// (permission refusals as root).
extern TPortProbe DispatcherPortProbe;

// The trial open of the device behind ComNum in Map; prNoDevice when the number
// stands for nothing. Number 0 is never tried.
TProbeResult ProbeComPort(unsigned ComNum, const TPortMap& Map);

// Whether a trial open with that result makes the port available.
bool IsAvailableResult(TProbeResult Result);

// True when the port opens, or (with ShowPortsInUse) another program holds it.
// Builds the port map afresh; the second form uses a map already built.
bool IsPortAvailable(unsigned ComNum);
bool IsPortAvailable(unsigned ComNum, const TPortMap& Map);
