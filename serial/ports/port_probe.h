// A trial open of a serial device: open it the way the device layer does and
// close it again at once, telling why it failed. Both trial opens (direct and
// through a dispatcher) give the device layer's error number, and one
// classification reads it.
#pragma once

#include <string>

enum class TProbeResult {
  prOpened,        // it opened (and is closed again)
  prInUse,         // another program holds it (its lock or exclusive open)
  prAccessDenied,  // no permission: not "in use", the user must join the device's group
  prNoDevice,      // nothing there
  prFailed,        // any other reason
};

// What a port error number of the device layer (a failed open) means.
TProbeResult ClassifyPortError(int32_t PortError);

// The device layer's open without its settings, then closed again. Locks are
// per open file description, so a port held through another descriptor of
// this same process reads as in use too; a path that is no terminal is no
// device.
TProbeResult ProbeDevice(const std::string& Path);

// A short text for a result ("in use by another program").
const char* ProbeResultText(TProbeResult Result);

// The group that owns the device ("dialout"), for telling a user refused
// access which group to join; empty when unknown.
std::string DeviceGroup(const std::string& Path);

// The message for a device the user may not open: which device, and what
// gives the user access to it.
std::string PermissionMessage(const std::string& Path);
