// zedazi-recv --list-ports: every COM number, the device behind it, what USB
// says of it, and whether this user can open it now.
#pragma once

#include <string>

#include "serial/ports/port_map.h"

// One block per port, its first line "COMn  PATH  STATE"; further lines are
// indented. "No serial port found." when the map is empty.
std::string ListPorts(const TPortMap& Map, const TPortMapConfig& Config);
