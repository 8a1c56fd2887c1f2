#include "tools/recv/port_listing.h"

#include <algorithm>

#include "serial/ports/port_access.h"
#include "serial/ports/port_avail.h"
#include "serial/ports/port_holder.h"

namespace {

std::string Indented(const std::string& Text) {
  std::string out = "      ";
  for (char c : Text) {
    out += c;
    if (c == '\n') out += "      ";
  }
  return out + "\n";
}

std::string StateOf(const TPortEntry& Entry, TProbeResult Result, const TDeviceAccess& Access) {
  switch (Result) {
    case TProbeResult::prOpened:
      return "free";
    case TProbeResult::prInUse:
      return HeldText(FindPortHolders(Entry.Path));
    case TProbeResult::prAccessDenied:
      return Access.Known ? "not permitted (group " + Access.Group + ")" : "not permitted";
    case TProbeResult::prNoDevice:
      return Entry.Origin == TPortOrigin::poLink ? "no device (the link points nowhere)"
                                                 : "no device";
    case TProbeResult::prFailed:
      break;
  }
  return "cannot be opened";
}

}  // namespace

std::string ListPorts(const TPortMap& Map, const TPortMapConfig& Config) {
  if (Map.Entries().empty()) return "No serial port found.\n";
  std::size_t width = 0;
  for (const TPortEntry& e : Map.Entries()) width = std::max(width, e.Path.size());
  std::string out;
  for (const TPortEntry& e : Map.Entries()) {
    const TProbeResult result = ProbeComPort(e.ComNum, Map);
    const TDeviceAccess access = ReadDeviceAccess(e.Path, Config);
    std::string name = "COM" + std::to_string(e.ComNum);
    name.resize(6, ' ');
    std::string path = e.Path;
    path.resize(width + 2, ' ');
    out += name + path + StateOf(e, result, access) + "\n";
    if (e.Usb.IsUsb()) {
      std::string usb = "USB " + e.Usb.VendorId + ":" + e.Usb.ProductId;
      if (!e.Usb.Product.empty()) usb += ", " + e.Usb.Product;
      if (!e.Usb.Serial.empty()) usb += ", serial " + e.Usb.Serial;
      out += Indented(usb);
    }
    if (result == TProbeResult::prAccessDenied) out += Indented(PermissionAdvice(access));
  }
  return out;
}
