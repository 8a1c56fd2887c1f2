// The Win32 serial calls the device layer needs, one thin function each, and
// the handle and event owners. Only the device layer includes this header.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "serial/dispatcher/dcb.h"

namespace windev {

// Owns a kernel handle; closed once, when the owner goes.
class THandle {
 public:
  THandle() = default;
  explicit THandle(HANDLE H) : H_(H) {}
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  ~THandle() { Reset(); }
  HANDLE Get() const { return H_; }
  bool Valid() const { return H_ != nullptr && H_ != INVALID_HANDLE_VALUE; }
  // Closes the handle held; false when CloseHandle failed (the handle is
  // given up all the same).
  bool Reset(HANDLE H = nullptr);
  // Gives the handle up without closing it.
  HANDLE Release() {
    const HANDLE H = H_;
    H_ = nullptr;
    return H;
  }

 private:
  HANDLE H_ = nullptr;
};

// A non-signalled event object, auto-reset unless Manual.
HANDLE MakeEvent(bool Manual);

// The path of COM number N for CreateFileA: "\\.\COMN" (the prefix also
// reaches numbers above 9).
std::string ComPath(unsigned N);

// GetLastError's number as a port error number: the system's own, except a
// sharing violation, which reads as "held by another program".
int32_t PortErrorNumber(DWORD Error);
// Errors a device gives once it has gone (adapter pulled, driver unloaded).
bool DeviceGone(DWORD Error);

// CreateFileA with read and write access, no sharing, asynchronous I/O;
// INVALID_HANDLE_VALUE and Error (a port error number) on failure. Hold
// keeps the port this tool's while the device is open: a compatibility
// layer's serial driver lets a second open of a port through, where a
// Windows driver refuses it itself. A port held so is refused as one held
// by another program.
HANDLE Open(const std::string& Path, int32_t& Error, THandle& Hold);
// Opens Path as Open does and closes it again: 0, or Open's error.
int32_t TrialOpen(const std::string& Path);

// The fields of the record into the driver's, and back; every other field
// of Out keeps what the driver reported.
void ToDcb(const TDcb& In, DCB& Out);
void FromDcb(const DCB& In, TDcb& Out);

// Whether Got (read back from the driver) holds what Asked asked for: the
// rate (within 2%), data size, parity, stop bits and the modes the driver
// carries out itself: CTS and DSR output flow, DSR sensitivity, the DTR and
// RTS handshakes, RTS toggle, XON/XOFF and their characters. The DTR and
// RTS levels are the caller's, set again after each record. CTS flow and the
// RTS handshake count as one switch: drivers that tie them (as termios does)
// report either. Unframed: a line without modem lines (a pseudo-terminal under a
// compatibility layer), which keeps eight bits without parity whatever it is
// given; its data size and parity do not count.
bool StateHeld(const DCB& Asked, const DCB& Got, bool Unframed);

// Reads return at once with what the driver holds; writes have no time-out.
bool SetReadAtOnce(HANDLE Device);

}  // namespace windev
