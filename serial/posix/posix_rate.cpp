#include "serial/posix/posix_rate.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace posixdev {

bool SetAnyRate(int Fd, uint32_t Baud) {
  termios2 T{};
  if (::ioctl(Fd, TCGETS2, &T) != 0) return false;
  // No input code: the input rate follows the output rate.
  T.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  T.c_cflag |= BOTHER;
  T.c_ospeed = Baud;
  T.c_ispeed = Baud;
  return ::ioctl(Fd, TCSETS2, &T) == 0;
}

uint32_t ReadRate(int Fd) {
  termios2 T{};
  if (::ioctl(Fd, TCGETS2, &T) != 0) return 0;
  return T.c_ospeed;
}

}  // namespace posixdev
