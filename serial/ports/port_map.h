// The port map: which device path stands behind each port number COM1..COM50.
//
// Built afresh on every call, so that adapters plugged in or out and links made
// by other programs (the box simulator) are seen at once:
//  1. user links: a symbolic link "comN" in the links folder gives COMN its target;
//  2. then the serial devices present, each to the lowest free number, family by
//     family (ttyS with hardware behind it, ttyUSB, ttyACM, ttyAMA, rfcomm), each
//     family in numeric order.
// Every root is taken from TPortMapConfig, so tests can build a map from scratch
// folders.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

inline constexpr unsigned MinComNumber = 1;
inline constexpr unsigned MaxComNumber = 50;

struct TPortMapConfig;

// Whether the ttyS device of that name ("ttyS0") has a UART behind it.
using THasHardware = std::function<bool(const std::string& Name, const TPortMapConfig& Config)>;

struct TPortMapConfig {
  std::filesystem::path LinksDir;  // comN links; empty: no links
  std::filesystem::path DevDir = "/dev";
  std::filesystem::path SysTtyDir = "/sys/class/tty";
  THasHardware HasHardware;  // empty: HasSerialHardware
};

// $XDG_CONFIG_HOME/zedazi/ports, else ~/.config/zedazi/ports.
std::filesystem::path DefaultLinksDir();
TPortMapConfig DefaultPortMapConfig();

// The real test for ttyS: a sysfs device, and a port type other than "unknown"
// (the kernel creates ttyS0..ttyS31 whether or not a UART exists).
bool HasSerialHardware(const std::string& Name, const TPortMapConfig& Config);

// What sysfs tells of the USB device behind a tty; all empty when it is none.
struct TUsbInfo {
  std::string VendorId;   // "0403"
  std::string ProductId;  // "6001"
  std::string Product;    // "FT232R USB UART"
  std::string Serial;     // "A1B2C3"

  bool IsUsb() const { return !VendorId.empty(); }
};
TUsbInfo UsbInfoOf(const std::string& Name, const std::filesystem::path& SysTtyDir);

// The kernel's name of the tty that Path stands for ("ttyUSB0" for a by-id link
// to it), when it is a device of DevDir; empty otherwise.
std::string TtyNameOf(const std::filesystem::path& Path, const TPortMapConfig& Config);

enum class TPortOrigin { poLink, poDevice };

struct TPortEntry {
  unsigned ComNum = 0;
  std::string Path;     // the path to open
  std::string Product;  // USB product name; empty when unknown
  TPortOrigin Origin = TPortOrigin::poDevice;
  TUsbInfo Usb;  // empty when no USB device is behind it

  // "path" or "path (product)", for showing the user which device a number is.
  std::string Description() const;
};

class TPortMap {
 public:
  static TPortMap Build(const TPortMapConfig& Config);

  // nullptr when the number stands for nothing.
  const TPortEntry* Find(unsigned ComNum) const;
  // Empty when the number stands for nothing.
  std::string PathOf(unsigned ComNum) const;
  // In increasing order of number.
  const std::vector<TPortEntry>& Entries() const { return entries_; }

 private:
  std::vector<TPortEntry> entries_;
};

// The process-wide map source: DefaultPortMapConfig() unless a test or tool
// has pointed it elsewhere.
void SetPortMapConfig(TPortMapConfig Config);
void ResetPortMapConfig();
TPortMapConfig CurrentPortMapConfig();
TPortMap CurrentPortMap();
