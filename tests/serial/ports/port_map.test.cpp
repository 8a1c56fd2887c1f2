#include "serial/ports/port_map.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/serial/port_scratch.h"

namespace {

using port_scratch::TScratch;
namespace fs = std::filesystem;

// (number, file name) pairs of a map, for readable comparisons.
std::vector<std::pair<unsigned, std::string>> Numbers(const TPortMap& Map) {
  std::vector<std::pair<unsigned, std::string>> out;
  for (const TPortEntry& e : Map.Entries())
    out.emplace_back(e.ComNum, fs::path(e.Path).filename().string());
  return out;
}

using Rows = std::vector<std::pair<unsigned, std::string>>;

TEST(PortMap, LinksTakeTheirNumbersAndDevicesFillTheGaps) {
  TScratch s;
  s.AddDevice("ttyUSB0");
  s.AddDevice("ttyUSB1");
  s.AddDevice("ttyACM0");
  fs::path pinned = s.AddDevice("ttyACM1");
  fs::path virt = s.AddDevice("virtual-line");
  s.Link("com2", virt);
  s.Link("com4", pinned);  // already numbered: not numbered again

  TPortMap map = TPortMap::Build(s.Config());
  EXPECT_EQ(
      Numbers(map),
      (Rows{{1, "ttyUSB0"}, {2, "virtual-line"}, {3, "ttyUSB1"}, {4, "ttyACM1"}, {5, "ttyACM0"}}));
  EXPECT_EQ(map.Find(2)->Origin, TPortOrigin::poLink);
  EXPECT_EQ(map.Find(1)->Origin, TPortOrigin::poDevice);
  EXPECT_EQ(map.PathOf(2), virt.string());
  EXPECT_EQ(map.PathOf(6), "");
  EXPECT_EQ(map.Find(0), nullptr);
}

TEST(PortMap, FamiliesInOrderEachInNumericOrder) {
  TScratch s;
  for (const char* name :
       {"rfcomm0", "ttyAMA0", "ttyACM0", "ttyUSB10", "ttyUSB9", "ttyUSB2", "ttyS1", "ttyS0", "ttyS",
        "ttyUSBx", "ttyUSB1a", "ttyACM-1", "tty5", "console", "ttyprintk"})
    s.AddDevice(name);
  fs::create_directory(s.Dev() / "ttyUSB5");  // a folder is no device
  TPortMapConfig config = s.Config();
  config.HasHardware = [](const std::string& name, const TPortMapConfig&) {
    return name == "ttyS1";
  };

  EXPECT_EQ(Numbers(TPortMap::Build(config)), (Rows{{1, "ttyS1"},
                                                    {2, "ttyUSB2"},
                                                    {3, "ttyUSB9"},
                                                    {4, "ttyUSB10"},
                                                    {5, "ttyACM0"},
                                                    {6, "ttyAMA0"},
                                                    {7, "rfcomm0"}}));
}

TEST(PortMap, NumbersStayWithinOneToFifty) {
  TScratch s;
  for (int i = 0; i < 60; ++i) s.AddDevice("ttyUSB" + std::to_string(i));
  fs::path extra = s.AddDevice("extra");
  s.Link("com50", extra);
  for (const char* bad : {"com0", "com51", "com07", "COM3", "com", "com1x", "com4294967297"})
    s.Link(bad, extra);
  std::ofstream(s.Links() / "com6") << "not a link\n";

  TPortMap map = TPortMap::Build(s.Config());
  ASSERT_EQ(map.Entries().size(), 50u);
  EXPECT_EQ(map.Entries().front().ComNum, 1u);
  EXPECT_EQ(map.PathOf(6), (s.Dev() / "ttyUSB5").string());
  EXPECT_EQ(map.PathOf(49), (s.Dev() / "ttyUSB48").string());
  EXPECT_EQ(map.PathOf(50), extra.string());
  EXPECT_EQ(map.Find(51), nullptr);
}

TEST(PortMap, DanglingLinkKeepsItsNumberAndRelativeLinksResolveInTheLinksFolder) {
  TScratch s;
  s.AddDevice("ttyUSB0");
  s.AddDevice("ttyUSB1");
  s.Link("com1", s.Dev() / "ttyUSB7");  // adapter unplugged
  s.Link("com3", "../dev/ttyUSB1");     // relative to the links folder

  TPortMap map = TPortMap::Build(s.Config());
  EXPECT_EQ(Numbers(map), (Rows{{1, "ttyUSB7"}, {2, "ttyUSB0"}, {3, "ttyUSB1"}}));
  EXPECT_EQ(map.PathOf(3), (s.Dev() / "ttyUSB1").string());
}

TEST(PortMap, MissingFoldersGiveAnEmptyOrPartialMap) {
  TScratch s;
  TPortMapConfig config = s.Config();
  config.LinksDir = s.Root() / "nowhere";
  config.DevDir = s.Root() / "nodev";
  EXPECT_TRUE(TPortMap::Build(config).Entries().empty());
  config.LinksDir.clear();
  config.DevDir = s.Dev();
  s.AddDevice("ttyACM3");
  EXPECT_EQ(Numbers(TPortMap::Build(config)), (Rows{{1, "ttyACM3"}}));
}

TEST(PortMap, DescriptionsNameTheUsbProduct) {
  TScratch s;
  s.AddDevice("ttyUSB0");
  fs::path acm = s.AddDevice("ttyACM0");
  s.AddDevice("ttyAMA0");
  s.AddUsbSysfs("ttyUSB0", "FT232R USB UART");
  s.AddUsbSysfs("ttyACM0", "Pico");
  fs::create_directories(s.Root() / "by-id");
  fs::create_symlink(acm, s.Root() / "by-id" / "usb-Pico-if00");
  s.Link("com9", s.Root() / "by-id" / "usb-Pico-if00");

  TPortMap map = TPortMap::Build(s.Config());
  EXPECT_EQ(map.Find(1)->Description(), (s.Dev() / "ttyUSB0").string() + " (FT232R USB UART)");
  EXPECT_EQ(map.Find(2)->Description(), (s.Dev() / "ttyAMA0").string());
  EXPECT_EQ(map.Find(9)->Product, "Pico");
  EXPECT_EQ(map.Find(9)->Usb.VendorId, "0403");
  EXPECT_EQ(map.Find(9)->Usb.ProductId, "6001");
  EXPECT_EQ(map.Find(9)->Usb.Serial, "A1B2C3");
  EXPECT_FALSE(map.Find(2)->Usb.IsUsb());
  EXPECT_EQ(map.Find(9)->Path, (s.Root() / "by-id" / "usb-Pico-if00").string());
  EXPECT_EQ(map.Entries().size(), 3u);  // ttyACM0 is COM9 only
}

TEST(PortMap, SerialHardwareNeedsADeviceAndAKnownPortType) {
  TScratch s;
  TPortMapConfig config = s.Config();
  auto addTtyS = [&](const std::string& name, const char* type) {
    s.AddDevice(name);
    fs::create_directories(s.Root() / "sys" / "devices" / name);
    fs::create_directories(s.Sys() / name);
    fs::create_directory_symlink(s.Root() / "sys" / "devices" / name, s.Sys() / name / "device");
    std::ofstream(s.Sys() / name / "type") << type << "\n";
  };
  addTtyS("ttyS0", "4");
  addTtyS("ttyS1", "0");
  s.AddDevice("ttyS2");  // no sysfs device at all
  EXPECT_TRUE(HasSerialHardware("ttyS0", config));
  EXPECT_FALSE(HasSerialHardware("ttyS1", config));
  EXPECT_FALSE(HasSerialHardware("ttyS2", config));

  config.HasHardware = nullptr;  // the real test is the default
  EXPECT_EQ(Numbers(TPortMap::Build(config)), (Rows{{1, "ttyS0"}}));
}

class ScopedEnv {
 public:
  ScopedEnv(const char* Name, const char* Value) : name_(Name) {
    if (const char* old = std::getenv(Name)) old_ = old;
    Value ? ::setenv(Name, Value, 1) : ::unsetenv(Name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(PortMap, LinksFolderFollowsXdgConfigHome) {
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/cfg");
    EXPECT_EQ(DefaultLinksDir(), fs::path("/tmp/cfg/zedazi/ports"));
  }
  ScopedEnv home("HOME", "/home/someone");
  for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/cfg"}) {
    ScopedEnv env("XDG_CONFIG_HOME", xdg);
    EXPECT_EQ(DefaultLinksDir(), fs::path("/home/someone/.config/zedazi/ports"));
  }
}

}  // namespace
