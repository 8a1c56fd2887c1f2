// Modem lines and break on the real driver. The UART is put in loopback,
// where its outputs come back as its inputs (DTR to DSR, RTS to CTS, OUT1
// to RING) and what it sends is what it receives: the status thread must
// turn each change into the component's delta bits. The USB adapter's lines
// go nowhere; there the calls must work and leave the port alive.
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cstring>
#include <string>

#include "tests/vm/guest/guest_port.h"

namespace vmguest {
namespace {

// The UART's own outputs, which the C library's headers leave out.
constexpr int kOut1 = 0x2000, kLoop = 0x8000;
constexpr uint8_t kDeltaCts = 0x01, kDeltaDsr = 0x02, kDeltaRi = 0x04, kCts = 0x10, kDsr = 0x20,
                  kRi = 0x40;

bool ModemBits(int Fd, int Bits, bool On) {
  return ::ioctl(Fd, On ? TIOCMBIS : TIOCMBIC, &Bits) == 0;
}

struct TCounts {
  int Cts = 0, Dsr = 0, Rng = 0;
};

TCounts Counts(int Fd) {
  serial_icounter_struct C{};
  ::ioctl(Fd, TIOCGICOUNT, &C);
  return {C.cts, C.dsr, C.rng};
}

// Sends Text and waits for it to come back round.
bool Loops(TGuestPort& P, const std::string& Text) {
  P.D.FlushInBuffer();
  if (P.D.PutString(Text) != 0) return false;
  if (P.D.WaitForData(uint32_t(Text.size()), 5s) != TDataWait::Ready) return false;
  std::string Got(Text.size(), '\0');
  return P.D.GetBlock(Got.data(), uint32_t(Got.size())) == int32_t(Got.size()) && Got == Text;
}

// Until the component has shown all of Bits, lines and delta bits; each
// reading takes the deltas it returns, so the readings are gathered.
bool Shows(TGuestPort& P, uint8_t Bits, const std::string& What, TTally& T) {
  uint8_t Seen = 0;
  const bool Ok = WaitFor([&] { return ((Seen |= P.D.GetModemStatus()) & Bits) == Bits; });
  char Hex[8];
  std::snprintf(Hex, sizeof Hex, "0x%02X", Seen);
  return T.Check(Ok, What + " (status bits seen " + Hex + ")");
}

}  // namespace

int RunLines(const std::string& Dev, const std::string& Driver) {
  TTally T;
  TGuestPort P;
  if (!T.Check(P.Open(Dev, 115200) == 0, "open " + Dev)) return 1;
  const int Fd = P.D.ComHandleNow();

  if (Driver == "uart") {
    T.Check(ModemBits(Fd, kLoop, true), "loopback on");
    P.D.SetDtr(false);
    P.D.SetRts(false);
    T.Check(WaitFor([&] { return (P.D.GetModemStatus() & (kCts | kDsr)) == 0; }),
            "DSR and CTS low with DTR and RTS low");
    P.D.GetModemStatus();
    const TCounts Before = Counts(Fd);
    T.Check(P.D.SetDtr(true) == 0, "DTR up");
    Shows(P, kDsr | kDeltaDsr, "DSR up, with its delta bit", T);
    T.Check(P.D.SetRts(true) == 0, "RTS up");
    Shows(P, kCts | kDeltaCts, "CTS up, with its delta bit", T);
    ModemBits(Fd, kOut1, true);
    Shows(P, kRi | kDeltaRi, "ring begins", T);
    ModemBits(Fd, kOut1, false);
    Shows(P, kDeltaRi, "ring ends", T);
    // The emulated UART sets no delta bits of its own in loopback, so the
    // driver's counters may stay still: shown, not checked.
    const TCounts After = Counts(Fd);
    std::printf("note: driver counted %d DSR, %d CTS, %d RING changes\n", After.Dsr - Before.Dsr,
                After.Cts - Before.Cts, After.Rng - Before.Rng);
    T.Check(Loops(P, "ping"), "bytes come back round");
  } else {
    for (const bool On : {false, true}) {
      T.Check(P.D.SetDtr(On) == 0 && P.D.SetRts(On) == 0,
              std::string("DTR and RTS ") + (On ? "up" : "down"));
    }
    const uint8_t Status = P.D.GetModemStatus();
    std::printf("note: modem status 0x%02X\n", Status);
  }

  // RS-485 where the driver has it; neither emulated driver has, and the
  // refusal must leave RTS the caller's and the port working.
  const int32_t Rs485 = P.D.SetRS485Mode(true);
  std::printf("note: RS-485 mode %s\n", Rs485 == 0 ? "taken" : "refused");
  if (Rs485 == 0) {
    T.Check(P.D.SetRts(true) == 1, "RS-485: RTS is the driver's");
    T.Check(P.D.SetRS485Mode(false) == 0, "RS-485 off");
  } else {
    T.Check(P.D.SetRts(true) == 0, "RS-485 refused: RTS still the caller's");
  }
  P.D.SetBreak(true);
  P.D.SetBreak(false);
  P.D.SendBreak(2, false);
  if (Driver == "uart") T.Check(Loops(P, "pong"), "bytes come back round after a break");
  T.Check(P.D.ThreadCountNow() == 4, "all four threads still running");
  T.Check(P.Owner.Worst == 0, "no thread failed");
  if (Driver == "uart") ModemBits(Fd, kLoop, false);
  return T.ExitCode();
}

}  // namespace vmguest
