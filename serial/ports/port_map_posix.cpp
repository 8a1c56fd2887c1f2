// Port numbers on Linux: pinned links first, then the serial devices in
// /dev by family, with what sysfs tells of their USB adapters.
#include <fcntl.h>
#include <linux/serial.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

#include "serial/ports/port_map.h"

namespace fs = std::filesystem;

namespace {

// Device families in the order they receive numbers; ttyS only with hardware.
constexpr std::array<const char*, 5> kFamilies = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "rfcomm"};

// The number after Prefix in Name ("ttyUSB10" -> 10); nothing when Name is not
// Prefix followed by decimal digits alone.
std::optional<unsigned> NumberAfter(std::string_view Name, std::string_view Prefix) {
  if (Name.size() <= Prefix.size() || Name.size() > Prefix.size() + 9 ||
      Name.substr(0, Prefix.size()) != Prefix)
    return std::nullopt;
  std::string_view digits = Name.substr(Prefix.size());
  unsigned value = 0;
  auto [end, err] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (err != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

// "comN" with N in 1..50 written without leading zeros.
std::optional<unsigned> LinkNumber(const std::string& Name) {
  auto n = NumberAfter(Name, "com");
  if (!n || *n < MinComNumber || *n > MaxComNumber || Name[3] == '0') return std::nullopt;
  return n;
}

std::optional<std::string> ReadFirstLine(const fs::path& File) {
  std::ifstream in(File);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    line.pop_back();
  return line;
}

class TFd {
 public:
  explicit TFd(int Fd) : fd_(Fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Canonical form for comparing a link's target with a device found in /dev;
// empty when the path does not resolve.
std::string Canonical(const fs::path& Path) {
  std::error_code ec;
  fs::path c = fs::canonical(Path, ec);
  return ec ? std::string() : c.string();
}

// The USB device behind the tty that Path resolves to.
TUsbInfo UsbInfoOfPath(const fs::path& Path, const TPortMapConfig& Config) {
  const std::string name = TtyNameOf(Path, Config);
  return name.empty() ? TUsbInfo{} : UsbInfoOf(name, Config.SysTtyDir);
}

struct TFound {
  unsigned Number;
  std::string Name;
};

// The members of one family in DevDir, in numeric order (ttyUSB9 before ttyUSB10).
std::vector<TFound> ListFamily(const fs::path& DevDir, std::string_view Prefix) {
  std::vector<TFound> found;
  std::error_code ec;
  for (fs::directory_iterator it(DevDir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    auto n = NumberAfter(name, Prefix);
    if (!n || it->is_directory(ec)) continue;
    found.push_back({*n, std::move(name)});
  }
  std::sort(found.begin(), found.end(),
            [](const TFound& a, const TFound& b) { return a.Number < b.Number; });
  return found;
}

}  // namespace

fs::path DefaultLinksDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  fs::path base;
  if (xdg && *xdg == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home && *home) {
      base = fs::path(home) / ".config";
    } else {
      passwd pw{};
      passwd* found = nullptr;
      std::array<char, 4096> buf{};
      if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) != 0 || !found ||
          !found->pw_dir)
        return {};
      base = fs::path(found->pw_dir) / ".config";
    }
  }
  return base / "zedazi" / "ports";
}

TPortMapConfig DefaultPortMapConfig() {
  TPortMapConfig config;
  config.LinksDir = DefaultLinksDir();
  return config;
}

bool HasSerialHardware(const std::string& Name, const TPortMapConfig& Config) {
  std::error_code ec;
  const fs::path sys = Config.SysTtyDir / Name;
  if (!fs::exists(sys / "device", ec)) return false;
  // The sysfs port type is the one TIOCGSERIAL reports, and reading it does not
  // open the port (an open raises DTR on real hardware).
  if (auto type = ReadFirstLine(sys / "type")) {
    unsigned value = 0;
    auto [end, err] = std::from_chars(type->data(), type->data() + type->size(), value);
    if (err == std::errc() && end == type->data() + type->size()) return value != PORT_UNKNOWN;
  }
  TFd fd(::open((Config.DevDir / Name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return false;
  serial_struct info{};
  return ::ioctl(fd.get(), TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
}

TUsbInfo UsbInfoOf(const std::string& Name, const fs::path& SysTtyDir) {
  std::error_code ec;
  fs::path dir = fs::canonical(SysTtyDir / Name / "device", ec);
  if (ec) return {};
  // From the tty's device (a USB interface or a usb-serial port) up to the USB
  // device, which is the first folder with a vendor id.
  for (int level = 0; level < 5 && dir.has_relative_path(); ++level, dir = dir.parent_path()) {
    if (!fs::exists(dir / "idVendor", ec)) continue;
    TUsbInfo info;
    info.VendorId = ReadFirstLine(dir / "idVendor").value_or("");
    info.ProductId = ReadFirstLine(dir / "idProduct").value_or("");
    info.Product = ReadFirstLine(dir / "product").value_or("");
    info.Serial = ReadFirstLine(dir / "serial").value_or("");
    return info;
  }
  return {};
}

std::string TtyNameOf(const fs::path& Path, const TPortMapConfig& Config) {
  std::error_code ec;
  fs::path target = fs::weakly_canonical(Path, ec);
  if (ec) return {};
  fs::path dev = fs::canonical(Config.DevDir, ec);
  if (ec || target.parent_path() != dev) return {};
  return target.filename().string();
}

TPortMap TPortMap::Build(const TPortMapConfig& Config) {
  TPortMap map;
  std::array<bool, MaxComNumber + 1> taken{};
  std::set<std::string> claimed;  // canonical paths that already have a number

  std::error_code ec;
  if (!Config.LinksDir.empty()) {
    for (fs::directory_iterator it(Config.LinksDir, ec), end; !ec && it != end; it.increment(ec)) {
      auto n = LinkNumber(it->path().filename().string());
      std::error_code lec;
      if (!n || !it->is_symlink(lec)) continue;
      fs::path target = fs::read_symlink(it->path(), lec);
      if (lec) continue;
      if (target.is_relative()) target = (Config.LinksDir / target).lexically_normal();
      // A dangling link keeps its number: a pinned adapter that is unplugged must
      // not hand its number to some other device.
      if (std::string c = Canonical(target); !c.empty()) claimed.insert(c);
      TUsbInfo usb = UsbInfoOfPath(target, Config);
      map.entries_.push_back({*n, target.string(), usb.Product, TPortOrigin::poLink, usb});
      taken[*n] = true;
    }
  }

  const THasHardware& hasHardware =
      Config.HasHardware ? Config.HasHardware : THasHardware(HasSerialHardware);
  unsigned next = MinComNumber;
  for (std::string_view family : kFamilies) {
    for (const TFound& dev : ListFamily(Config.DevDir, family)) {
      if (family == "ttyS" && !hasHardware(dev.Name, Config)) continue;
      const fs::path path = Config.DevDir / dev.Name;
      if (claimed.count(Canonical(path))) continue;
      while (next <= MaxComNumber && taken[next]) ++next;
      if (next > MaxComNumber) break;
      taken[next] = true;
      TUsbInfo usb = UsbInfoOf(dev.Name, Config.SysTtyDir);
      map.entries_.push_back({next, path.string(), usb.Product, TPortOrigin::poDevice, usb});
    }
  }

  std::sort(map.entries_.begin(), map.entries_.end(),
            [](const TPortEntry& a, const TPortEntry& b) { return a.ComNum < b.ComNum; });
  return map;
}
