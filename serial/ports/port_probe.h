// A trial open of a serial device: open it the way the device layer does and
// close it again at once, telling why it failed.
#pragma once

#include <string>

enum class TProbeResult {
  prOpened,        // it opened (and is closed again)
  prInUse,         // another program holds it (its lock or exclusive open)
  prAccessDenied,  // no permission: not "in use", the user must join the device's group
  prNoDevice,      // nothing there
  prFailed,        // any other reason
};

// What an errno from open, flock or TIOCEXCL means for a trial open.
TProbeResult ClassifyOpenError(int Errno);

// open(O_RDWR|O_NOCTTY|O_NONBLOCK|O_CLOEXEC), flock(LOCK_EX|LOCK_NB), TIOCEXCL,
// then undo all three. Locks are per open file description, so a port held
// through another descriptor of this same process reads as in use too.
TProbeResult ProbeDevice(const std::string& Path);

// A short text for a result ("in use by another program").
const char* ProbeResultText(TProbeResult Result);

// The group that owns the device ("dialout"), for telling a user refused
// access which group to join; empty when unknown.
std::string DeviceGroup(const std::string& Path);
