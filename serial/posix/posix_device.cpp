#include "serial/posix/posix_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "serial/posix/port_errors.h"
#include "serial/posix/posix_rate.h"

int32_t PortErrorNumber(int Errno) {
  switch (Errno) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTTY:  // a path that is no serial device
    case EIO:     // the device is gone
      return oeFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return oePathNotFound;
    case EBUSY:
    case EWOULDBLOCK:
      return oeAccessDenied;
    case EACCES:
    case EPERM:
      return oePermissionDenied;
    case EBADF:
      return oeInvalidHandle;
    case ENOMEM:
      return oeNotEnoughMemory;
    case EINVAL:
      return oeInvalidParameter;
    default:
      return Errno;
  }
}

namespace posixdev {
namespace {

struct TRate {
  uint32_t Baud;
  speed_t Code;
};
constexpr TRate kRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {3000000, B3000000}, {4000000, B4000000},
};

bool RateCode(uint32_t Baud, speed_t& Code) {
  for (const TRate& R : kRates) {
    if (R.Baud == Baud) {
      Code = R.Code;
      return true;
    }
  }
  return false;
}

// Rates the line speaks that have no speed code; the driver takes them by
// number.
constexpr uint32_t kRatesByNumber[] = {14400, 28800, 56000, 128000, 256000};

bool RateByNumber(uint32_t Baud) {
  for (const uint32_t R : kRatesByNumber) {
    if (R == Baud) return true;
  }
  return false;
}

uint32_t RateOf(speed_t Code) {
  for (const TRate& R : kRates) {
    if (R.Code == Code) return R.Baud;
  }
  return 0;
}

bool NoModemLines(int Err) {
  return Err == ENOTTY || Err == EINVAL || Err == ENOSYS;
}

}  // namespace

namespace {

// The descriptor, locked and exclusive, with its settings in T; -1 and Error
// when any step fails (a path that is no terminal is no device).
int OpenHeld(const std::string& Path, int32_t& Error, termios& T) {
  const int Fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (Fd < 0) {
    Error = PortErrorNumber(errno);
    return -1;
  }
  auto Fail = [&](int Err) {
    Error = PortErrorNumber(Err);
    Close(Fd);
    return -1;
  };
  // flock keeps out other programs that honour it (and root, whom TIOCEXCL
  // does not stop); TIOCEXCL keeps out the rest.
  if (::flock(Fd, LOCK_EX | LOCK_NB) != 0) return Fail(errno);
  if (::ioctl(Fd, TIOCEXCL) != 0 && !NoModemLines(errno)) return Fail(errno);
  if (::tcgetattr(Fd, &T) != 0) return Fail(errno);
  return Fd;
}

}  // namespace

int32_t TrialOpen(const std::string& Path) {
  int32_t Error = 0;
  termios T{};
  const int Fd = OpenHeld(Path, Error, T);
  if (Fd >= 0) Close(Fd);
  return Fd >= 0 ? 0 : Error;
}

int Open(const std::string& Path, int32_t& Error) {
  termios T{};
  const int Fd = OpenHeld(Path, Error, T);
  if (Fd < 0) return -1;
  auto Fail = [&](int Err) {
    Error = PortErrorNumber(Err);
    Close(Fd);
    return -1;
  };
  ::cfmakeraw(&T);
  T.c_cflag |= CLOCAL | CREAD;
  T.c_cc[VMIN] = 0;
  T.c_cc[VTIME] = 0;
  if (::tcsetattr(Fd, TCSANOW, &T) != 0) return Fail(errno);
  return Fd;
}

bool Close(int Fd) {
  ::ioctl(Fd, TIOCNXCL);
  ::flock(Fd, LOCK_UN);
  return ::close(Fd) == 0;
}

bool GetState(int Fd, const TDcb& Shadow, TDcb& Out, int32_t& Error) {
  termios T{};
  if (::tcgetattr(Fd, &T) != 0) {
    Error = PortErrorNumber(errno);
    return false;
  }
  FromTermios(T, Shadow, Out);
  // The record has no room for a rate without a speed code; the driver
  // reports every rate by number.
  if (const uint32_t Rate = ReadRate(Fd); Rate != 0) Out.BaudRate = Rate;
  return true;
}

void FromTermios(const termios& T, const TDcb& Shadow, TDcb& Out) {
  Out = Shadow;
  Out.BaudRate = RateOf(::cfgetospeed(&T));
  switch (T.c_cflag & CSIZE) {
    case CS5:
      Out.ByteSize = 5;
      break;
    case CS6:
      Out.ByteSize = 6;
      break;
    case CS7:
      Out.ByteSize = 7;
      break;
    default:
      Out.ByteSize = 8;
      break;
  }
  if (!(T.c_cflag & PARENB)) {
    Out.Parity = 0;
  } else if (T.c_cflag & CMSPAR) {
    Out.Parity = (T.c_cflag & PARODD) ? 3 : 4;
  } else {
    Out.Parity = (T.c_cflag & PARODD) ? 1 : 2;
  }
  if (!(T.c_cflag & CSTOPB)) {
    Out.StopBits = 0;
  } else {
    Out.StopBits = Shadow.StopBits == 1 ? 1 : 2;
  }
  // Only a change made outside this record needs translating back.
  const bool RtsCts = T.c_cflag & CRTSCTS;
  const bool ShadowRtsCts = Shadow.fOutxCtsFlow || Shadow.fRtsControl == dcRtsHandshake;
  if (RtsCts != ShadowRtsCts) {
    Out.fOutxCtsFlow = RtsCts;
    if (!RtsCts && Out.fRtsControl == dcRtsHandshake) Out.fRtsControl = dcRtsEnable;
  }
  Out.fParity = T.c_iflag & INPCK;
  Out.fOutX = T.c_iflag & IXON;
  Out.fInX = T.c_iflag & IXOFF;
  Out.XonChar = T.c_cc[VSTART];
  Out.XoffChar = T.c_cc[VSTOP];
}

bool ToTermios(const TDcb& Dcb, termios& T, int32_t& Error) {
  speed_t Code;
  const bool Coded = RateCode(Dcb.BaudRate, Code);
  // termios has no DSR output flow, DTR handshake or DSR sensitivity: taking
  // them would promise a flow control nobody does.
  const bool NoSuchFlow =
      Dcb.fOutxDsrFlow || Dcb.fDtrControl == dcDtrHandshake || Dcb.fDsrSensitivity;
  if ((!Coded && !RateByNumber(Dcb.BaudRate)) || Dcb.ByteSize < 5 || Dcb.ByteSize > 8 ||
      Dcb.Parity > 4 || NoSuchFlow) {
    Error = oeInvalidParameter;
    return false;
  }
  // A rate without a code keeps T's speed; SetState sets it by number.
  if (Coded) {
    ::cfsetispeed(&T, Code);
    ::cfsetospeed(&T, Code);
  }
  T.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  T.c_cflag |= CLOCAL | CREAD;
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  T.c_cflag |= kSizes[Dcb.ByteSize - 5];
  switch (Dcb.Parity) {
    case 1:
      T.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      T.c_cflag |= PARENB;
      break;
    case 3:
      T.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case 4:
      T.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (Dcb.StopBits != 0) T.c_cflag |= CSTOPB;
  // The driver ties RTS/CTS handshake into one switch.
  if (Dcb.fOutxCtsFlow || Dcb.fRtsControl == dcRtsHandshake) T.c_cflag |= CRTSCTS;
  T.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  if (Dcb.fParity) T.c_iflag |= INPCK;
  if (Dcb.fOutX) T.c_iflag |= IXON;
  if (Dcb.fInX) T.c_iflag |= IXOFF;
  T.c_cc[VSTART] = Dcb.XonChar;
  T.c_cc[VSTOP] = Dcb.XoffChar;
  T.c_cc[VMIN] = 0;
  T.c_cc[VTIME] = 0;
  return true;
}

// A pseudo-terminal slave (majors 136-143) has no transmit queue of its own:
// what it "sends" already sits in the other side's receive queue. Nor has it
// a line: it keeps eight bits without parity whatever it is given.
static bool IsPseudoTerminalSlave(int Fd) {
  struct stat St {};
  return ::fstat(Fd, &St) == 0 && S_ISCHR(St.st_mode) && major(St.st_rdev) >= 136 &&
         major(St.st_rdev) <= 143;
}

bool SettingsHeld(const termios& Asked, uint32_t AskedRate, const termios& Got, uint32_t GotRate,
                  bool Unframed) {
  // A driver may report the rate its divisor gives rather than the one asked
  // for; within 2% both ends still understand each other.
  const uint64_t Diff = AskedRate > GotRate ? AskedRate - GotRate : GotRate - AskedRate;
  if (Diff * 50 > AskedRate) return false;
  // A driver without hardware handshake drops CRTSCTS as quietly as a frame
  // it cannot make; the flow switches and characters count alike.
  tcflag_t Control = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  if (Unframed) Control &= ~(CSIZE | PARENB);
  constexpr tcflag_t kFlow = IXON | IXOFF;
  return (Asked.c_cflag & Control) == (Got.c_cflag & Control) &&
         (Asked.c_iflag & kFlow) == (Got.c_iflag & kFlow) &&
         Asked.c_cc[VSTART] == Got.c_cc[VSTART] && Asked.c_cc[VSTOP] == Got.c_cc[VSTOP];
}

namespace {

// The rate T stands for, asked of the driver by number where it can tell.
uint32_t RateNow(int Fd, const termios& T) {
  const uint32_t Rate = ReadRate(Fd);
  return Rate != 0 ? Rate : RateOf(::cfgetospeed(&T));
}

// Writes T; a rate without a speed code goes by number after it.
bool WriteSettings(int Fd, const termios& T, uint32_t Rate) {
  if (::tcsetattr(Fd, TCSANOW, &T) != 0) return false;
  speed_t Code;
  return Rate == 0 || RateCode(Rate, Code) || SetAnyRate(Fd, Rate);
}

}  // namespace

bool SetState(int Fd, const TDcb& Dcb, int32_t& Error) {
  termios Old{};
  if (::tcgetattr(Fd, &Old) != 0) {
    Error = PortErrorNumber(errno);
    return false;
  }
  termios T = Old;
  if (!ToTermios(Dcb, T, Error)) return false;
  const uint32_t OldRate = RateNow(Fd, Old);
  if (!WriteSettings(Fd, T, Dcb.BaudRate)) {
    Error = PortErrorNumber(errno);
    WriteSettings(Fd, Old, OldRate);
    return false;
  }
  // tcsetattr succeeds when any part was carried out, and drivers keep what
  // they cannot do without a word: only a read-back tells.
  termios Got{};
  if (::tcgetattr(Fd, &Got) != 0 ||
      !SettingsHeld(T, Dcb.BaudRate, Got, RateNow(Fd, Got), IsPseudoTerminalSlave(Fd))) {
    WriteSettings(Fd, Old, OldRate);
    Error = oeInvalidParameter;
    return false;
  }
  if (!SetRs485(Fd, Dcb.fRtsControl == dcRtsToggle)) {
    WriteSettings(Fd, Old, OldRate);
    Error = oeInvalidParameter;
    return false;
  }
  SetModemLine(Fd, true, Dcb.fDtrControl == dcDtrEnable);
  if (Dcb.fRtsControl == dcRtsEnable || Dcb.fRtsControl == dcRtsDisable) {
    SetModemLine(Fd, false, Dcb.fRtsControl == dcRtsEnable);
  }
  return true;
}

bool Rs485On(int Fd) {
  serial_rs485 R{};
  return ::ioctl(Fd, TIOCGRS485, &R) == 0 && (R.flags & SER_RS485_ENABLED);
}

bool SetRs485(int Fd, bool On) {
  serial_rs485 R{};
  // A driver without the mode (a pseudo-terminal, most USB adapters) is off.
  if (::ioctl(Fd, TIOCGRS485, &R) != 0) return !On;
  if (!On && !(R.flags & SER_RS485_ENABLED)) return true;
  // The driver's delays before and after a send stay as they are.
  R.flags &= ~uint32_t(SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND | SER_RS485_RTS_AFTER_SEND |
                       SER_RS485_RX_DURING_TX);
  if (On) R.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
  if (::ioctl(Fd, TIOCSRS485, &R) != 0) return !On;
  // A driver may take the call and keep what it can do: only a read-back
  // tells.
  serial_rs485 Got{};
  if (::ioctl(Fd, TIOCGRS485, &Got) != 0) return !On;
  const uint32_t Wanted = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
  if (On && (Got.flags & Wanted) != Wanted) {
    R.flags &= ~Wanted;
    ::ioctl(Fd, TIOCSRS485, &R);
    return false;
  }
  return true;
}

bool Purge(int Fd, bool Input) {
  // Purging a pseudo-terminal's output would take back bytes the far end has
  // already been given, which no serial line can do.
  if (!Input && IsPseudoTerminalSlave(Fd)) return true;
  return ::tcflush(Fd, Input ? TCIFLUSH : TCOFLUSH) == 0;
}

bool ModemLinesSupported(int Fd) {
  int Bits = 0;
  return ::ioctl(Fd, TIOCMGET, &Bits) == 0;
}

uint8_t ModemLines(int Fd) {
  int Bits = 0;
  if (::ioctl(Fd, TIOCMGET, &Bits) != 0) return 0;
  return uint8_t(((Bits & TIOCM_CTS) ? 0x10 : 0) | ((Bits & TIOCM_DSR) ? 0x20 : 0) |
                 ((Bits & TIOCM_RNG) ? 0x40 : 0) | ((Bits & TIOCM_CAR) ? 0x80 : 0));
}

bool SetModemLine(int Fd, bool Dtr, bool On) {
  int Bit = Dtr ? TIOCM_DTR : TIOCM_RTS;
  if (::ioctl(Fd, On ? TIOCMBIS : TIOCMBIC, &Bit) == 0) return true;
  return NoModemLines(errno);
}

void SetBreakState(int Fd, bool On) {
  ::ioctl(Fd, On ? TIOCSBRK : TIOCCBRK);
}

bool GetCounters(int Fd, TCounters& Out) {
  serial_icounter_struct C{};
  if (::ioctl(Fd, TIOCGICOUNT, &C) != 0) return false;
  Out.Frame = uint32_t(C.frame);
  Out.Overrun = uint32_t(C.overrun);
  Out.Parity = uint32_t(C.parity);
  Out.Brk = uint32_t(C.brk);
  Out.BufOverrun = uint32_t(C.buf_overrun);
  Out.Cts = uint32_t(C.cts);
  Out.Dsr = uint32_t(C.dsr);
  Out.Rng = uint32_t(C.rng);
  Out.Dcd = uint32_t(C.dcd);
  return true;
}

static int32_t IoError(int Err) {
  switch (Err) {
    case EBADF:
      return ioInvalidHandle;
    case EIO:
    case ENXIO:
    case ENODEV:
      return ioDeviceGone;
    default:
      return ioFailed;
  }
}

int32_t Read(int Fd, uint8_t* Buffer, size_t Len) {
  for (;;) {
    const ssize_t N = ::read(Fd, Buffer, Len);
    if (N >= 0) return int32_t(N);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    return IoError(errno);
  }
}

int32_t Write(int Fd, const uint8_t* Buffer, size_t Len) {
  for (;;) {
    const ssize_t N = ::write(Fd, Buffer, Len);
    if (N >= 0) return int32_t(N);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    return IoError(errno);
  }
}

TPoll Wait(int Fd, TWaitFor What, int WakeFd, int TimeoutMs, int WakeFd2) {
  const short Events = What == TWaitFor::Input ? POLLIN : What == TWaitFor::Output ? POLLOUT : 0;
  // poll skips entries with a negative descriptor, and reports hang-ups and
  // errors whatever was asked for.
  pollfd P[3] = {{Fd, Events, 0}, {WakeFd, POLLIN, 0}, {WakeFd2, POLLIN, 0}};
  const int N = ::poll(P, 3, TimeoutMs);
  if (N < 0) return errno == EINTR ? TPoll::TimedOut : TPoll::Failed;
  if ((P[1].revents | P[2].revents) & POLLIN) return TPoll::Woken;
  if (P[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return TPoll::HungUp;
  if (P[0].revents) return TPoll::Ready;
  return TPoll::TimedOut;
}

int MakeWakeFd() {
  return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

void SignalWakeFd(int Fd) {
  const uint64_t One = 1;
  [[maybe_unused]] ssize_t N = ::write(Fd, &One, sizeof One);
}

void DrainWakeFd(int Fd) {
  uint64_t Count;
  [[maybe_unused]] ssize_t N = ::read(Fd, &Count, sizeof Count);
}

void CloseWakeFd(int Fd) {
  if (Fd >= 0) ::close(Fd);
}

uint32_t OutputQueued(int Fd) {
  int Queued = 0;
  return ::ioctl(Fd, TIOCOUTQ, &Queued) == 0 && Queued > 0 ? uint32_t(Queued) : 0;
}

}  // namespace posixdev
