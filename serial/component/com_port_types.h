// Enumerations of the com port component.
#pragma once

#include <cstdint>

enum TDeviceLayer : uint8_t { dlWin32, dlWinsock };
// A set of TDeviceLayer, one bit each in declaration order.
using TDeviceLayers = uint8_t;
constexpr TDeviceLayers DeviceLayerBit(TDeviceLayer Layer) {
  return uint8_t(1u << Layer);
}
enum TParity : uint8_t { pNone, pOdd, pEven, pMark, pSpace };
enum TTapiMode : uint8_t { tmNone, tmAuto, tmOn, tmOff };
enum TPortState : uint8_t { psClosed, psShuttingDown, psOpen };

enum THWFlowOptions : uint8_t { hwfUseDTR, hwfUseRTS, hwfRequireDSR, hwfRequireCTS };
// A set of THWFlowOptions, one bit each in declaration order (the same bits
// the dispatcher takes).
using THWFlowOptionSet = uint8_t;
constexpr THWFlowOptionSet HWFlowBit(THWFlowOptions Option) {
  return uint8_t(1u << Option);
}

enum TSWFlowOptions : uint8_t { swfNone, swfReceive, swfTransmit, swfBoth };
enum TFlowControlState : uint8_t {
  fcOff,
  fcOn,
  fcDsrHold,
  fcCtsHold,
  fcDcdHold,
  fcXOutHold,
  fcXInHold,
  fcXBothHold
};
enum TRivuCallbackType : uint8_t { ctOpen, ctClosing, ctClosed };
enum TRivuThreadBoost : uint8_t { tbNone, tbPlusOne, tbPlusTwo };

// Messages of the notification window and of registered user windows.
inline constexpr uint32_t cwPortOpened = 0x7E08, cwPortClosed = 0x7E09, cwPortClosing = 0x7E0A;
