// Every rate and frame the component offers, set on the real driver and read
// back from it: each is either taken exactly, or refused with the old line
// kept. A driver that keeps something else while the call reports success
// is the fault this looks for.
#include <cstdio>
#include <string>

#include "tests/vm/guest/driver_line.h"
#include "tests/vm/guest/guest_port.h"

namespace vmguest {
namespace {

constexpr uint32_t kRates[] = {110,    300,    600,    1200,   2400,  4800,  9600,
                               14400,  19200,  28800,  38400,  56000, 57600, 115200,
                               128000, 230400, 256000, 460800, 921600};
constexpr char kParities[] = {'N', 'O', 'E', 'M', 'S'};

std::string Describe(const TDriverLine& L) {
  return std::to_string(L.Rate) + " " + std::to_string(L.DataBits) + L.Parity +
         (L.TwoStops ? "2" : "1");
}

// What each driver can do on the virtual machine's hardware: the UART's clock
// gives at most 115200 baud; the USB adapter's driver takes any rate up to 3
// Mbaud and every data size but 6 (it keeps 5 for devices that ask for it).
bool Supported(const std::string& Driver, const TDriverLine& L) {
  if (Driver == "uart") return L.Rate <= 115200;
  return L.Rate <= 3000000 && L.DataBits != 6;
}

}  // namespace

int RunSettings(const std::string& Dev, const std::string& Driver) {
  TTally T;
  TGuestPort P;
  if (!T.Check(P.Open(Dev, 9600) == 0, "open " + Dev)) return 1;
  const int Fd = P.D.ComHandleNow();

  auto Try = [&](const TDriverLine& Want, uint16_t Parity, uint16_t Stops) {
    TDriverLine Before, After;
    ReadDriverLine(Fd, Before);
    const int32_t R = P.D.SetLine(Want.Rate, Parity, uint16_t(Want.DataBits), Stops);
    if (!ReadDriverLine(Fd, After)) {
      T.Check(false, "read back " + Describe(Want));
      return;
    }
    const bool Taken = R == 0 && After == Want;
    const bool Refused = R != 0 && After == Before;
    const bool Expected = Supported(Driver, Want);
    std::string What = Describe(Want) + ": ";
    if (Taken) {
      What += "taken";
    } else if (Refused) {
      What += "refused (" + std::to_string(R) + "), line kept";
    } else {
      What += "result " + std::to_string(R) + " but the driver holds " + Describe(After);
    }
    T.Check(Expected ? Taken : Refused, What);
  };

  for (const uint32_t Rate : kRates) Try({Rate, 8, 'N', false}, 0, 1);
  for (int Bits = 5; Bits <= 8; ++Bits) {
    for (uint16_t Parity = 0; Parity < 5; ++Parity) {
      for (const uint16_t Stops : {uint16_t(1), uint16_t(2)}) {
        // Five data bits take one and a half stop bits, which the driver
        // writes as its two-stop-bit switch.
        Try({9600, Bits, kParities[Parity], Stops == 2 || Bits == 5}, Parity, Stops);
      }
    }
  }
  P.D.SetLine(115200, 0, 8, 1);
  return T.ExitCode();
}

}  // namespace vmguest
