#include "serial/ports/port_access.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/serial/port_scratch.h"

namespace {

using port_scratch::TPty;
using port_scratch::TScratch;

TDeviceAccess Device(std::string Group, unsigned Mode, std::string Owner = "root") {
  TDeviceAccess a;
  a.Path = "/dev/ttyS0";
  a.Known = true;
  a.Owner = std::move(Owner);
  a.Group = std::move(Group);
  a.Mode = Mode;
  a.KernelName = "ttyS0";
  return a;
}

bool Has(const std::string& Text, const std::string& Part) {
  return Text.find(Part) != std::string::npos;
}

size_t Count(const std::string& Text, const std::string& Part) {
  size_t n = 0;
  for (size_t at = Text.find(Part); at != std::string::npos; at = Text.find(Part, at + 1)) ++n;
  return n;
}

TEST(PortAccess, JoiningIsAdvisedOnlyForAGroupThatMayReadAndWrite) {
  const std::string join = PermissionAdvice(Device("dialout", 0660));
  EXPECT_EQ(join,
            "Permission denied opening /dev/ttyS0: the device belongs to the group dialout. Add "
            "yourself with \"sudo usermod -aG dialout $USER\", then log in again");

  TDeviceAccess listed = Device("uucp", 0660);
  listed.ListedInGroup = true;
  const std::string relogin = PermissionAdvice(listed);
  EXPECT_TRUE(Has(relogin, "Log out and in again")) << relogin;
  EXPECT_TRUE(Has(relogin, "newgrp uucp")) << relogin;
  EXPECT_FALSE(Has(relogin, "usermod")) << relogin;

  // A group that may only read, or write, or is root: a rule, never "join root".
  for (const TDeviceAccess& a :
       {Device("root", 0600), Device("root", 0660), Device("tty", 0620), Device("dialout", 0640)}) {
    SCOPED_TRACE(a.Group + " " + std::to_string(a.Mode));
    const std::string text = PermissionAdvice(a);
    EXPECT_TRUE(Has(text,
                    "SUBSYSTEM==\"tty\", KERNEL==\"ttyS0\", GROUP=\"dialout\", "
                    "MODE=\"0660\""))
        << text;
    EXPECT_TRUE(Has(text, "sudo tee /etc/udev/rules.d/70-zedazi-serial.rules")) << text;
    EXPECT_TRUE(Has(text, "usermod -aG dialout $USER")) << text;
    EXPECT_FALSE(Has(text, "-aG root")) << text;
    EXPECT_FALSE(Has(text, "-aG tty")) << text;
  }
}

TEST(PortAccess, EveryMessageNamesTheDeviceOnce) {
  TDeviceAccess member = Device("dialout", 0660);
  member.InGroup = member.ListedInGroup = true;  // refused all the same (an access list)
  TDeviceAccess unknown;
  unknown.Path = "/dev/ttyS0";
  for (const TDeviceAccess& a : {Device("dialout", 0660), Device("root", 0600), member, unknown})
    EXPECT_EQ(Count(PermissionAdvice(a), "/dev/ttyS0"), 1u) << PermissionAdvice(a);
  EXPECT_EQ(PermissionAdvice(unknown), "Permission denied opening /dev/ttyS0");
  EXPECT_FALSE(Has(PermissionAdvice(member), "usermod")) << PermissionAdvice(member);
}

TEST(PortAccess, RuleMatchesUsbAdaptersByVendorAndProduct) {
  TDeviceAccess usb = Device("root", 0600);
  usb.KernelName = "ttyUSB0";
  usb.Usb = {"1a86", "7523", "USB Serial", ""};
  EXPECT_EQ(UdevRule(usb),
            "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"1a86\", "
            "ATTRS{idProduct}==\"7523\", GROUP=\"dialout\", MODE=\"0660\"");
  // Already in dialout: the rule alone does it.
  usb.InSerialGroup = true;
  const std::string text = PermissionAdvice(usb);
  EXPECT_FALSE(Has(text, "usermod")) << text;
  EXPECT_TRUE(Has(text, "then open it again")) << text;
}

TEST(PortAccess, ReadsOwnerGroupModeAndUsbIdsOfTheDevice) {
  TScratch s;
  const auto dev = s.AddDevice("ttyUSB0");
  s.AddUsbSysfs("ttyUSB0", "FT232R USB UART");
  ::chmod(dev.c_str(), 0640);
  const TDeviceAccess a = ReadDeviceAccess(dev.string(), s.Config());
  ASSERT_TRUE(a.Known);
  EXPECT_EQ(a.Mode, 0640u);
  EXPECT_EQ(a.KernelName, "ttyUSB0");
  EXPECT_EQ(a.Usb.VendorId, "0403");
  EXPECT_EQ(a.Usb.ProductId, "6001");
  EXPECT_TRUE(a.InGroup);  // its file, made by this process
  EXPECT_FALSE(ReadDeviceAccess((s.Dev() / "ttyUSB7").string(), s.Config()).Known);
}

TEST(PortAccess, PseudoTerminalGivenToAGroupByChownAndChmod) {
  if (::geteuid() != 0) GTEST_SKIP() << "changing a device's group needs root";
  const group* dialout = ::getgrnam(kSerialGroup);
  if (!dialout) GTEST_SKIP() << "no group " << kSerialGroup;
  TPty line;
  ASSERT_EQ(::chown(line.Path().c_str(), 0, dialout->gr_gid), 0);
  ASSERT_EQ(::chmod(line.Path().c_str(), 0660), 0);
  TPortMapConfig config;
  const TDeviceAccess a = ReadDeviceAccess(line.Path(), config);
  EXPECT_EQ(a.Group, kSerialGroup);
  EXPECT_EQ(a.Owner, "root");
  EXPECT_TRUE(a.GroupMayReadWrite());
  EXPECT_EQ(a.KernelName, line.Path().substr(5));  // "pts/N"
}

}  // namespace
