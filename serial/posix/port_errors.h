// The port error numbers, and where errno values become them.
#pragma once

#include <cstdint>

#include "serial/errors/port_error_numbers.h"

// Translates an errno value into the port error numbers; any other value
// passes through unchanged (the platform's text for it is strerror's).
int32_t PortErrorNumber(int Errno);
