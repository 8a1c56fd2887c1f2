// Scratch folders, pseudo-terminals and held ports for the port map and port
// dialog tests.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "serial/ports/port_map.h"

namespace port_scratch {

namespace fs = std::filesystem;

// A temporary tree with a links folder, a /dev stand-in and a sysfs stand-in,
// removed again at the end.
class TScratch {
 public:
  TScratch() {
    std::string tmpl = (fs::temp_directory_path() / "zedazi-ports-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    root_ = tmpl;
    fs::create_directories(Links());
    fs::create_directories(Dev());
    fs::create_directories(Sys());
  }
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;
  ~TScratch() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  fs::path Root() const { return root_; }
  fs::path Links() const { return root_ / "links"; }
  fs::path Dev() const { return root_ / "dev"; }
  fs::path Sys() const { return root_ / "sys" / "class" / "tty"; }

  // A fake device node (a plain file) in the /dev stand-in.
  fs::path AddDevice(const std::string& Name) const {
    fs::path p = Dev() / Name;
    std::ofstream{p};
    return p;
  }
  void Link(const std::string& Name, const fs::path& Target) const {
    fs::create_symlink(Target, Links() / Name);
  }
  // A sysfs entry for a USB serial tty whose USB device names its product.
  void AddUsbSysfs(const std::string& Name, const std::string& Product) const {
    fs::path usb = root_ / "sys" / "devices" / ("usb-" + Name) / "1-1";
    fs::path port = usb / "1-1:1.0" / Name;
    fs::create_directories(port);
    std::ofstream(usb / "idVendor") << "0403\n";
    std::ofstream(usb / "idProduct") << "6001\n";
    std::ofstream(usb / "serial") << "A1B2C3\n";
    std::ofstream(usb / "product") << Product << "\n";
    fs::create_directories(Sys() / Name);
    fs::create_directory_symlink(port, Sys() / Name / "device");
  }

  TPortMapConfig Config() const {
    TPortMapConfig c;
    c.LinksDir = Links();
    c.DevDir = Dev();
    c.SysTtyDir = Sys();
    c.HasHardware = [](const std::string&, const TPortMapConfig&) { return false; };
    return c;
  }

 private:
  fs::path root_;
};

// A pseudo-terminal pair; the slave path stands in for a serial device.
class TPty {
 public:
  TPty() {
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
      throw std::runtime_error("openpty failed");
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    path_ = ::ttyname(slave_);
  }
  TPty(const TPty&) = delete;
  TPty& operator=(const TPty&) = delete;
  ~TPty() {
    ::close(slave_);
    ::close(master_);
  }
  const std::string& Path() const { return path_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// Holds a device the way another program would: its own descriptor with the lock.
class THeld {
 public:
  explicit THeld(const std::string& Path) : fd_(::open(Path.c_str(), O_RDWR | O_NOCTTY)) {
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
    if (fd_ >= 0) ::close(fd_);
    throw std::runtime_error("cannot hold " + Path);
  }
  THeld(const THeld&) = delete;
  THeld& operator=(const THeld&) = delete;
  ~THeld() { ::close(fd_); }

 private:
  int fd_;
};

}  // namespace port_scratch
