// What the port selection dialog says and where its parts sit, the same for
// every toolkit that draws it. Rectangles are in 96-DPI client pixels.
#pragma once

namespace PortDialogLayout {

struct TRect {
  int Left, Top, Width, Height;
};

inline constexpr char Caption[] = "Select Port";
inline constexpr char Label1Text[] = "The configured serial port is not valid.";
inline constexpr char Label2Text[] = "Please choose another port.";
inline constexpr char OkText[] = "OK";
inline constexpr char CancelText[] = "Cancel";

inline constexpr int ClientWidth = 220;
inline constexpr int ClientHeight = 131;
inline constexpr int FontPixels = 11;
inline constexpr TRect Bevel1{8, 8, 201, 42};
inline constexpr TRect Label1{18, 14, 176, 13};
inline constexpr TRect Label2{18, 30, 133, 13};
// The one free strip between the bevel and the list: the device behind the
// selected number, or who holds it.
inline constexpr TRect DeviceLabel{10, 51, 199, 13};
inline constexpr TRect PortsComboBox{8, 64, 201, 21};
inline constexpr TRect OkBtn{8, 95, 85, 27};
inline constexpr TRect AbortBtn{124, 95, 85, 27};

}  // namespace PortDialogLayout
