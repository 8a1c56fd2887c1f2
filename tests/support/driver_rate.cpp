// Its own unit: the driver's second settings record clashes with <termios.h>.
#include "tests/support/driver_rate.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

uint32_t DriverRate(int Fd) {
  termios2 T{};
  return ::ioctl(Fd, TCGETS2, &T) == 0 ? T.c_ospeed : 0;
}
