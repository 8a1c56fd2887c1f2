#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "serial/ports/port_access.h"

namespace fs = std::filesystem;

namespace {

std::string OctalMode(unsigned Mode) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "%04o", Mode & 07777);
  return text.data();
}

std::string UserName(uid_t Uid) {
  passwd pw{};
  passwd* found = nullptr;
  std::array<char, 4096> buf{};
  if (::getpwuid_r(Uid, &pw, buf.data(), buf.size(), &found) != 0 || !found) return {};
  return found->pw_name;
}

struct TGroupEntry {
  gid_t Gid = 0;
  std::string Name;
  std::vector<std::string> Members;
};

bool LookUpGroup(const group* Found, TGroupEntry& Entry) {
  if (!Found) return false;
  Entry.Gid = Found->gr_gid;
  Entry.Name = Found->gr_name;
  for (char** m = Found->gr_mem; m && *m; ++m) Entry.Members.emplace_back(*m);
  return true;
}

bool GroupById(gid_t Gid, TGroupEntry& Entry) {
  group gr{};
  group* found = nullptr;
  std::vector<char> buf(16384);
  return ::getgrgid_r(Gid, &gr, buf.data(), buf.size(), &found) == 0 && LookUpGroup(found, Entry);
}

bool GroupByName(const char* Name, TGroupEntry& Entry) {
  group gr{};
  group* found = nullptr;
  std::vector<char> buf(16384);
  return ::getgrnam_r(Name, &gr, buf.data(), buf.size(), &found) == 0 && LookUpGroup(found, Entry);
}

bool ProcessHasGroup(gid_t Gid) {
  if (::getegid() == Gid) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, Gid) != groups.begin() + got;
}

bool UserListedIn(const TGroupEntry& Group) {
  const uid_t uid = ::getuid();
  const std::string user = UserName(uid);
  passwd pw{};
  passwd* found = nullptr;
  std::array<char, 4096> buf{};
  if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) == 0 && found &&
      found->pw_gid == Group.Gid)
    return true;
  return !user.empty() &&
         std::find(Group.Members.begin(), Group.Members.end(), user) != Group.Members.end();
}

// What udev calls the device: its name in the device folder ("ttyUSB0",
// "pts/3"), or the file name when it lies elsewhere.
std::string KernelNameOf(const std::string& Path, const TPortMapConfig& Config) {
  if (std::string name = TtyNameOf(Path, Config); !name.empty()) return name;
  std::error_code ec;
  const fs::path target = fs::weakly_canonical(Path, ec);
  const fs::path dev = fs::weakly_canonical(Config.DevDir, ec);
  const fs::path rel = target.lexically_relative(dev);
  if (!rel.empty() && *rel.begin() != "..") return rel.string();
  return target.filename().string();
}

}  // namespace

TDeviceAccess ReadDeviceAccess(const std::string& Path, const TPortMapConfig& Config) {
  TDeviceAccess access;
  access.Path = Path;
  struct stat st {};
  if (Path.empty() || ::stat(Path.c_str(), &st) != 0) return access;
  access.Known = true;
  access.Mode = st.st_mode & 07777;
  access.Owner = UserName(st.st_uid);
  if (access.Owner.empty()) access.Owner = std::to_string(st.st_uid);
  TGroupEntry group;
  if (GroupById(st.st_gid, group)) {
    access.Group = group.Name;
    access.ListedInGroup = UserListedIn(group);
  } else {
    access.Group = std::to_string(st.st_gid);
  }
  access.InGroup = ProcessHasGroup(st.st_gid);
  TGroupEntry serial;
  access.InSerialGroup = GroupByName(kSerialGroup, serial) && ProcessHasGroup(serial.Gid);
  // A map that lists no devices (a path given on the command line) still
  // names real ones by their place in /dev.
  TPortMapConfig where = Config;
  if (TtyNameOf(Path, where).empty()) where.DevDir = "/dev";
  access.KernelName = KernelNameOf(Path, where);
  if (const std::string tty = TtyNameOf(Path, where); !tty.empty())
    access.Usb = UsbInfoOf(tty, where.SysTtyDir);
  return access;
}

std::string UdevRule(const TDeviceAccess& Access) {
  std::string match = Access.Usb.IsUsb() && !Access.Usb.ProductId.empty()
                          ? "ATTRS{idVendor}==\"" + Access.Usb.VendorId +
                                "\", ATTRS{idProduct}==\"" + Access.Usb.ProductId + "\""
                          : "KERNEL==\"" + Access.KernelName + "\"";
  return "SUBSYSTEM==\"tty\", " + match + ", GROUP=\"" + kSerialGroup + "\", MODE=\"0660\"";
}

std::string PermissionAdvice(const TDeviceAccess& Access) {
  const std::string head =
      "Permission denied opening " + (Access.Path.empty() ? std::string("the port") : Access.Path);
  if (!Access.Known) return head;
  if (Access.GroupMayReadWrite() && Access.Group != "root") {
    if (!Access.ListedInGroup && !Access.InGroup)
      return head + ": the device belongs to the group " + Access.Group +
             ". Add yourself with \"sudo usermod -aG " + Access.Group +
             " $USER\", then log in again";
    if (!Access.InGroup)
      return head + ": the device belongs to the group " + Access.Group +
             ", which you joined after this session began. Log out and in again (or start a "
             "shell with \"newgrp " +
             Access.Group + "\")";
    return head + ": the device belongs to the group " + Access.Group + " with mode " +
           OctalMode(Access.Mode) +
           " and you are in it, so something else refuses (an access list or a security module)";
  }
  std::string text =
      head + ": the device belongs to " + Access.Owner + ":" + Access.Group + " with mode " +
      OctalMode(Access.Mode) +
      ", which gives no ordinary group read and write access. A udev rule gives it to the group " +
      kSerialGroup +
      "; copy these two lines into a terminal:\n"
      "  echo '" +
      UdevRule(Access) +
      "' | sudo tee /etc/udev/rules.d/70-zedazi-serial.rules\n"
      "  sudo udevadm control --reload-rules && sudo udevadm trigger "
      "--subsystem-match=tty\n";
  text += Access.InSerialGroup ? "then open it again"
                               : std::string("then add yourself with \"sudo usermod -aG ") +
                                     kSerialGroup + " $USER\" and log in again";
  return text;
}

std::string PermissionAdvice(const std::string& Path) {
  return PermissionAdvice(ReadDeviceAccess(Path));
}
