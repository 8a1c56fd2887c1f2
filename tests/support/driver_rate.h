// The rate a terminal's driver holds, read by number, so a test can check a
// rate that has no speed code.
#pragma once

#include <cstdint>

// 0 when the driver cannot tell.
uint32_t DriverRate(int Fd);
