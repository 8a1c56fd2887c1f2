// Line settings as the driver holds them, over real pseudo-terminals.
#include <termios.h>

#include "serial/posix/port_errors.h"
#include "tests/serial/port_fixture.h"
#include "tests/support/driver_rate.h"

namespace {

uint32_t ReadBaud(TRivuPosixDispatcher& D) {
  uint32_t Baud;
  uint16_t Parity, DataBits, StopBits;
  D.GetLine(Baud, Parity, DataBits, StopBits);
  return Baud;
}

}  // namespace

TEST(LineRates, RatesWithoutASpeedCodeGoByNumber) {
  TOpenPort P;
  for (const uint32_t Rate : {14400u, 28800u, 56000u, 128000u, 256000u}) {
    SCOPED_TRACE(Rate);
    ASSERT_EQ(P.D->SetLine(Rate, 0, 8, 1), 0);
    EXPECT_EQ(DriverRate(P.Pty.SlaveFd()), Rate);
    EXPECT_EQ(ReadBaud(*P.D), Rate);
    // Other settings change without touching the rate.
    ASSERT_EQ(P.D->SetLine(0, 0, 8, 2), 0);
    EXPECT_EQ(DriverRate(P.Pty.SlaveFd()), Rate);
    EXPECT_EQ(ReadBaud(*P.D), Rate);
  }
  // And back to a rate with a code.
  ASSERT_EQ(P.D->SetLine(115200, 0, 8, 1), 0);
  termios T{};
  ASSERT_EQ(tcgetattr(P.Pty.SlaveFd(), &T), 0);
  EXPECT_EQ(cfgetospeed(&T), speed_t(B115200));
  EXPECT_EQ(DriverRate(P.Pty.SlaveFd()), 115200u);
  EXPECT_EQ(ReadBaud(*P.D), 115200u);
}
