// Apart from the rest: the kernel's termios2 header cannot live beside the C
// library's termios.
#include "tests/vm/guest/driver_line.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vmguest {

bool ReadDriverLine(int Fd, TDriverLine& Out) {
  termios2 T{};
  if (::ioctl(Fd, TCGETS2, &T) != 0) return false;
  Out.Rate = T.c_ospeed;
  switch (T.c_cflag & CSIZE) {
    case CS5:
      Out.DataBits = 5;
      break;
    case CS6:
      Out.DataBits = 6;
      break;
    case CS7:
      Out.DataBits = 7;
      break;
    default:
      Out.DataBits = 8;
      break;
  }
  if (!(T.c_cflag & PARENB)) {
    Out.Parity = 'N';
  } else if (T.c_cflag & CMSPAR) {
    Out.Parity = (T.c_cflag & PARODD) ? 'M' : 'S';
  } else {
    Out.Parity = (T.c_cflag & PARODD) ? 'O' : 'E';
  }
  Out.TwoStops = T.c_cflag & CSTOPB;
  return true;
}

}  // namespace vmguest
