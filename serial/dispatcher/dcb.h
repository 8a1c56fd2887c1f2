// Line settings and device status records, in the layout the dispatcher's
// algorithms speak of; the device layer translates them to the driver's.
#pragma once

#include <cstdint>

// Line settings record (only the fields the dispatcher uses).
struct TDcb {
  uint32_t BaudRate = 0;
  bool fBinary = true;        // raw transfer mode
  bool fParity = false;       // parity checking on input
  bool fOutxCtsFlow = false;  // CTS output flow control
  bool fOutxDsrFlow = false;  // DSR output flow control
  uint8_t fDtrControl = 1;    // dcDtr* below
  bool fDsrSensitivity = false;
  bool fTXContinueOnXoff = true;
  bool fOutX = false;       // XON/XOFF output control
  bool fInX = false;        // XON/XOFF input control
  bool fNull = false;       // null stripping
  uint8_t fRtsControl = 0;  // dcRts* below
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 8;
  uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  uint8_t XonChar = 17;
  uint8_t XoffChar = 19;

  bool operator==(const TDcb&) const = default;
};

inline constexpr uint8_t dcDtrDisable = 0, dcDtrEnable = 1, dcDtrHandshake = 2;
inline constexpr uint8_t dcRtsDisable = 0, dcRtsEnable = 1, dcRtsHandshake = 2, dcRtsToggle = 3;

// Escape functions of EscapeComFunction.
inline constexpr int32_t efSetRts = 3, efClrRts = 4, efSetDtr = 5, efClrDtr = 6;

// Result of the device's status query.
struct TComStat {
  uint32_t Flags = 0;
  uint32_t InQue = 0;   // bytes received and not yet in the dispatch buffer
  uint32_t OutQue = 0;  // bytes waiting to be sent (the output buffer's count)
};

// Line error bits.
inline constexpr uint32_t leOverflow = 0x01, leOverrun = 0x02, leParity = 0x04, leFraming = 0x08,
                          leBreak = 0x10;

// Device event mask bits carried by status items.
inline constexpr uint32_t evRxChar = 0x0001, evCts = 0x0008, evDsr = 0x0010, evRlsd = 0x0020,
                          evBreak = 0x0040, evErr = 0x0080, evRing = 0x0100,
                          evRing2 = 0x2000;  // trailing edge of ring
inline constexpr uint32_t evStatusEvents = 0x21F8;
