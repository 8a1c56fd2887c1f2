// Line rates by number. The driver's second settings record holds any rate,
// not only those with a speed code; its header cannot live beside
// <termios.h>, so these calls have a translation unit of their own.
#pragma once

#include <cstdint>

namespace posixdev {

// Sets Fd's output and input rate to Baud and leaves every other setting as
// it is; false, with errno set, when the driver refuses.
bool SetAnyRate(int Fd, uint32_t Baud);
// The output rate the driver holds, as a number; 0 when it cannot tell.
uint32_t ReadRate(int Fd);

}  // namespace posixdev
