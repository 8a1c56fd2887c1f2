// A com port component over pseudo-terminals linked as COM numbers, with a
// platform and a device layer that record what the component asks of them.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "serial/component/com_port.h"
#include "serial/posix/posix_dispatcher.h"
#include "tests/serial/port_scratch.h"
#include "tests/support/pty_pair.h"

// Answers the port prompt with Answer, keeps the errors shown, and keeps the
// procedure of the last window created (the component's, once it is open).
class TPromptPlatform : public TPlainPlatform {
 public:
  std::atomic<int> Answer{0};
  std::atomic<int> Prompts{0};
  int PromptForPort() override {
    ++Prompts;
    return Answer;
  }
  void ShowBackgroundError(const std::string& Text) override {
    std::lock_guard Lock(M);
    Errors.push_back(Text);
  }
  std::unique_ptr<TNotifyWindow> CreateNotifyWindow(TWindowProc Proc) override {
    {
      std::lock_guard Lock(M);
      LastProc = Proc;
    }
    return TPlainPlatform::CreateNotifyWindow(std::move(Proc));
  }
  std::vector<std::string> Shown() {
    std::lock_guard Lock(M);
    return Errors;
  }
  TWindowProc LastWindowProc() {
    std::lock_guard Lock(M);
    return LastProc;
  }

 private:
  std::mutex M;
  std::vector<std::string> Errors;
  TWindowProc LastProc;
};

// Records what the component asks of the device layer.
class TRecordingDispatcher : public TRivuPosixDispatcher {
 public:
  using TRivuPosixDispatcher::TRivuPosixDispatcher;
  std::string OpenedName;
  int32_t OpenedIn = 0, OpenedOut = 0;
  std::vector<int32_t> Escapes;
  int32_t OpenCom(const std::string& Name, int32_t InSize, int32_t OutSize) override {
    OpenedName = Name;
    OpenedIn = InSize;
    OpenedOut = OutSize;
    return TRivuPosixDispatcher::OpenCom(Name, InSize, OutSize);
  }
  int32_t EscapeComFunction(int32_t Code) override {
    if (RefuseLines) return -1;
    Escapes.push_back(Code);
    return TRivuPosixDispatcher::EscapeComFunction(Code);
  }
  int32_t SetComState(TDcb& Record) override {
    if (RefuseLines) return -1;
    if (KeepLineStates) {
      // Kept, not applied: a pseudo-terminal takes no parity or data size.
      States.push_back(Record);
      return 0;
    }
    return TRivuPosixDispatcher::SetComState(Record);
  }
  void UpdateHandlerFlags(THandlerFlagKind Kind) override {
    {
      std::lock_guard Lock(FlagsM);
      if (Kind != fuKeepPort) LastFlag = Kind;
    }
    TRivuPosixDispatcher::UpdateHandlerFlags(Kind);
  }
  THandlerFlagKind LastHandlerFlag() {
    std::lock_guard Lock(FlagsM);
    return LastFlag;
  }
  // Line, DTR and RTS changes fail from here on.
  std::atomic<bool> RefuseLines{false};
  // Line changes are kept in States instead of being applied.
  bool KeepLineStates = false;
  std::vector<TDcb> States;
  bool InRS485Mode() { return RS485ModeOn(); }

 private:
  std::mutex FlagsM;
  THandlerFlagKind LastFlag = fuKeepPort;
};

class ComPortTest : public ::testing::Test {
 protected:
  ComPortTest() {
    TPortMapConfig config;
    config.LinksDir = scratch.Links();
    config.DevDir = scratch.Dev();
    config.SysTtyDir = scratch.Sys();
    config.HasHardware = [](const std::string&, const TPortMapConfig&) { return false; };
    SetPortMapConfig(config);
    scratch.Link("com3", pty.SlavePath());
  }
  ~ComPortTest() override { ResetPortMapConfig(); }

  // The main window's settings and its Connect command's line settings.
  void Configure(TRivuComPort& port) {
    port.SetInSize(16384);
    port.SetOutSize(16384);
    port.SetRTS(false);
    port.SetTraceName((scratch.Root() / "RIVU.TRC").string());
    port.SetTraceHex(false);
    port.SetLogName((scratch.Root() / "RIVU.LOG").string());
    port.SetComNumber(0);
    port.SetBaud(115200);
    port.SetDataBits(8);
    port.SetStopBits(1);
    port.SetParity(pNone);
  }

  // Gives port a recording device layer: the last one made is `recorded`.
  void Record(TRivuComPort& port) {
    port.SetDispatcherFactory([this](TRivuCustomComPort& owner) {
      recorded = std::make_shared<TRecordingDispatcher>(&owner, &platform);
      return recorded;
    });
  }

  port_scratch::TScratch scratch;
  TPtyPair pty;
  TPromptPlatform platform;
  std::shared_ptr<TRecordingDispatcher> recorded;
};
