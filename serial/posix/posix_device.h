// The operating system's serial calls, one thin function each. Only the
// device layer includes this header; nothing else sees termios or ioctl.
#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "serial/dispatcher/dcb.h"

namespace posixdev {

// Opens Path exclusively in raw, non-blocking mode; -1 and Error (a port
// error number) on failure, with nothing left open.
int Open(const std::string& Path, int32_t& Error);
// Opens Path the way Open does, without touching its settings, and closes it
// again at once: 0, or the port error number that Open would have given.
int32_t TrialOpen(const std::string& Path);
// Releases the exclusive hold and closes; false when close failed.
bool Close(int Fd);

// Reads the line settings; fields the driver has no equivalent for come from
// Shadow (the record last written).
bool GetState(int Fd, const TDcb& Shadow, TDcb& Out, int32_t& Error);
// The translation itself; ToTermios changes only the fields the record owns.
// A rate without a speed code leaves T's speed alone: SetState sets that one
// by number, and GetState reads every rate back by number.
bool ToTermios(const TDcb& Dcb, termios& T, int32_t& Error);
void FromTermios(const termios& T, const TDcb& Shadow, TDcb& Out);
// Writes the record and reads it back; what the driver did not take is
// undone and fails with oeInvalidParameter. RTS control toggle is the
// kernel's RS-485 mode (RTS raised for each send), refused where the driver
// has none.
bool SetState(int Fd, const TDcb& Dcb, int32_t& Error);
// Whether Got (read back, with the driver's rate) holds the rate, data size,
// parity, stop bits, RTS/CTS handshake, XON/XOFF switches and characters of
// Asked. Unframed: a pseudo-terminal slave, which has
// no line and reports eight bits without parity whatever it is given, so its
// data size and parity switch do not count.
bool SettingsHeld(const termios& Asked, uint32_t AskedRate, const termios& Got, uint32_t GotRate,
                  bool Unframed);

// The kernel's RS-485 mode on or off (RTS raised while sending, lowered
// after); false when asked on and the driver cannot, or did not take it.
bool SetRs485(int Fd, bool On);
bool Rs485On(int Fd);

bool Purge(int Fd, bool Input);
// Bytes the driver holds that have not left the line yet; 0 when unknown.
uint32_t OutputQueued(int Fd);
// False on drivers without modem lines (pseudo-terminals).
bool ModemLinesSupported(int Fd);
// CTS 0x10, DSR 0x20, RING 0x40, DCD 0x80; 0 without modem lines.
uint8_t ModemLines(int Fd);
// Raises or lowers DTR or RTS; a driver without modem lines is no error.
bool SetModemLine(int Fd, bool Dtr, bool On);
void SetBreakState(int Fd, bool On);

// Line error and modem line counters since open (each line counts its
// changes, RING its trailing edges); false when the driver keeps none.
struct TCounters {
  uint32_t Frame = 0, Overrun = 0, Parity = 0, Brk = 0, BufOverrun = 0;
  uint32_t Cts = 0, Dsr = 0, Rng = 0, Dcd = 0;
};
bool GetCounters(int Fd, TCounters& Out);

// read/write results: a count, 0 when nothing could move, or a negative code.
inline constexpr int32_t ioInvalidHandle = -6;
inline constexpr int32_t ioDeviceGone = -2;  // unplugged, hung up
inline constexpr int32_t ioFailed = -1;
int32_t Read(int Fd, uint8_t* Buffer, size_t Len);
int32_t Write(int Fd, const uint8_t* Buffer, size_t Len);

// Waits up to TimeoutMs for Fd to become readable (Input), writable (Output)
// or to hang up (any kind), or for one of the wake descriptors (-1: none).
enum class TWaitFor { Input, Output, HangUp };
enum class TPoll { Ready, TimedOut, Woken, HungUp, Failed };
TPoll Wait(int Fd, TWaitFor What, int WakeFd, int TimeoutMs, int WakeFd2 = -1);

// A descriptor that becomes readable once signalled, until drained.
int MakeWakeFd();
void SignalWakeFd(int Fd);
void DrainWakeFd(int Fd);
void CloseWakeFd(int Fd);

}  // namespace posixdev
