#include "serial/win32/win32_device.h"

#include <cctype>

#include "serial/errors/port_error_numbers.h"

namespace windev {

bool THandle::Reset(HANDLE H) {
  bool Ok = true;
  if (Valid()) Ok = ::CloseHandle(H_) != 0;
  H_ = H;
  return Ok;
}

HANDLE MakeEvent(bool Manual) {
  return ::CreateEventA(nullptr, Manual ? TRUE : FALSE, FALSE, nullptr);
}

std::string ComPath(unsigned N) {
  return "\\\\.\\COM" + std::to_string(N);
}

int32_t PortErrorNumber(DWORD Error) {
  switch (Error) {
    case ERROR_SHARING_VIOLATION:
      return oeAccessDenied;
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
      return oePathNotFound;
    default:
      return int32_t(Error);
  }
}

bool DeviceGone(DWORD Error) {
  switch (Error) {
    case ERROR_ACCESS_DENIED:  // what a pulled USB adapter's driver answers
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_NOT_READY:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_BROKEN_PIPE:
    case ERROR_HANDLE_EOF:
      return true;
    default:
      return false;
  }
}

namespace {

// A named mutex per port, by the path's last part ("\\.\com8" and "COM8"
// are one port); nothing when the system gives none, and the open goes on.
HANDLE HoldPort(const std::string& Path, bool& Held) {
  std::string Name = Path.substr(Path.find_last_of("\\/") + 1);
  for (char& C : Name) C = char(std::toupper(static_cast<unsigned char>(C)));
  const HANDLE H = ::CreateMutexA(nullptr, FALSE, ("zedazi-port-" + Name).c_str());
  Held = H != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS;
  return H;
}

}  // namespace

HANDLE Open(const std::string& Path, int32_t& Error, THandle& Hold) {
  bool Held = false;
  Hold.Reset(HoldPort(Path, Held));
  if (Held) {
    Hold.Reset();
    Error = oeAccessDenied;
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE H =
      ::CreateFileA(Path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (H == INVALID_HANDLE_VALUE) {
    Error = PortErrorNumber(::GetLastError());
    Hold.Reset();
  }
  return H;
}

int32_t TrialOpen(const std::string& Path) {
  int32_t Error = 0;
  THandle Hold;
  THandle H(Open(Path, Error, Hold));
  return H.Valid() ? 0 : Error;
}

void ToDcb(const TDcb& In, DCB& Out) {
  Out.DCBlength = sizeof(DCB);
  Out.BaudRate = In.BaudRate;
  Out.fBinary = In.fBinary;
  Out.fParity = In.fParity;
  Out.fOutxCtsFlow = In.fOutxCtsFlow;
  Out.fOutxDsrFlow = In.fOutxDsrFlow;
  Out.fDtrControl = In.fDtrControl & 3;
  Out.fDsrSensitivity = In.fDsrSensitivity;
  Out.fTXContinueOnXoff = In.fTXContinueOnXoff;
  Out.fOutX = In.fOutX;
  Out.fInX = In.fInX;
  Out.fNull = In.fNull;
  Out.fRtsControl = In.fRtsControl & 3;
  Out.XonLim = In.XonLim;
  Out.XoffLim = In.XoffLim;
  Out.ByteSize = In.ByteSize;
  Out.Parity = In.Parity;
  Out.StopBits = In.StopBits;
  Out.XonChar = char(In.XonChar);
  Out.XoffChar = char(In.XoffChar);
}

void FromDcb(const DCB& In, TDcb& Out) {
  Out.BaudRate = In.BaudRate;
  Out.fBinary = In.fBinary;
  Out.fParity = In.fParity;
  Out.fOutxCtsFlow = In.fOutxCtsFlow;
  Out.fOutxDsrFlow = In.fOutxDsrFlow;
  Out.fDtrControl = uint8_t(In.fDtrControl);
  Out.fDsrSensitivity = In.fDsrSensitivity;
  Out.fTXContinueOnXoff = In.fTXContinueOnXoff;
  Out.fOutX = In.fOutX;
  Out.fInX = In.fInX;
  Out.fNull = In.fNull;
  Out.fRtsControl = uint8_t(In.fRtsControl);
  Out.XonLim = In.XonLim;
  Out.XoffLim = In.XoffLim;
  Out.ByteSize = In.ByteSize;
  Out.Parity = In.Parity;
  Out.StopBits = In.StopBits;
  Out.XonChar = uint8_t(In.XonChar);
  Out.XoffChar = uint8_t(In.XoffChar);
}

bool StateHeld(const DCB& Asked, const DCB& Got, bool Unframed) {
  const uint64_t Diff =
      Asked.BaudRate > Got.BaudRate ? Asked.BaudRate - Got.BaudRate : Got.BaudRate - Asked.BaudRate;
  if (Diff * 50 > Asked.BaudRate) return false;
  if (!Unframed && (Asked.ByteSize != Got.ByteSize || Asked.Parity != Got.Parity)) return false;
  if (Asked.StopBits != Got.StopBits) return false;
  auto RtsHandshake = [](const DCB& D) { return D.fRtsControl == RTS_CONTROL_HANDSHAKE; };
  // One switch where the driver ties the two (it may report either).
  if ((Asked.fOutxCtsFlow || RtsHandshake(Asked)) != (Got.fOutxCtsFlow || RtsHandshake(Got))) {
    return false;
  }
  auto Toggle = [](const DCB& D) { return D.fRtsControl == RTS_CONTROL_TOGGLE; };
  auto DtrHandshake = [](const DCB& D) { return D.fDtrControl == DTR_CONTROL_HANDSHAKE; };
  return Toggle(Asked) == Toggle(Got) && DtrHandshake(Asked) == DtrHandshake(Got) &&
         Asked.fOutxDsrFlow == Got.fOutxDsrFlow && Asked.fDsrSensitivity == Got.fDsrSensitivity &&
         Asked.fOutX == Got.fOutX && Asked.fInX == Got.fInX && Asked.XonChar == Got.XonChar &&
         Asked.XoffChar == Got.XoffChar;
}

bool SetReadAtOnce(HANDLE Device) {
  COMMTIMEOUTS T{};
  T.ReadIntervalTimeout = MAXDWORD;
  return ::SetCommTimeouts(Device, &T) != 0;
}

}  // namespace windev
