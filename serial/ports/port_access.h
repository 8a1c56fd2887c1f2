// Why a serial device refuses this user, and the one fix that fits the device:
// joining its group when that group may read and write it (and is not root),
// otherwise a udev rule that hands the device to dialout.
#pragma once

#include <string>

#include "serial/ports/port_map.h"

// The group a rule gives serial devices to, as Debian's own rules do.
inline constexpr char kSerialGroup[] = "dialout";

struct TDeviceAccess {
  std::string Path;    // as the user named it
  bool Known = false;  // the device could be looked at; all below is empty otherwise
  std::string Owner;
  std::string Group;
  unsigned Mode = 0;           // permission bits, 0660
  bool InGroup = false;        // this process has Group now
  bool ListedInGroup = false;  // the user is a member, maybe only since logging in
  bool InSerialGroup = false;  // this process has kSerialGroup now
  std::string KernelName;      // what udev calls it ("ttyS0")
  TUsbInfo Usb;

  bool GroupMayReadWrite() const { return (Mode & 060) == 060; }
};

TDeviceAccess ReadDeviceAccess(const std::string& Path,
                               const TPortMapConfig& Config = CurrentPortMapConfig());

// The udev rule for that device: by vendor and product for USB, by kernel name
// otherwise.
std::string UdevRule(const TDeviceAccess& Access);

// The full message for a refused open, one or several lines.
std::string PermissionAdvice(const TDeviceAccess& Access);
std::string PermissionAdvice(const std::string& Path);
