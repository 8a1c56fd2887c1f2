// The com port component over pseudo-terminals linked as COM numbers.
#include "serial/component/com_port.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "serial/errors/error_codes.h"
#include "serial/errors/exceptions.h"
#include "serial/ports/port_avail.h"
#include "serial/posix/posix_dispatcher.h"
#include "tests/serial/component/com_port_fixture.h"
#include "tests/support/wait_until.h"

namespace {

using namespace std::chrono_literals;

TEST_F(ComPortTest, CancelledOrMissingPromptLeavesThePortClosed) {
  for (bool prompt : {true, false}) {
    TRivuComPort port(nullptr, &platform);
    Configure(port);
    port.SetPromptForPort(prompt);
    int created = 0;
    port.SetDispatcherFactory([&](TRivuCustomComPort& owner) {
      ++created;
      return std::make_shared<TRivuPosixDispatcher>(&owner, &platform);
    });
    try {
      port.SetOpen(true);
      FAIL() << "opened without a port";
    } catch (const ENoPortSelected& e) {
      EXPECT_EQ(e.ErrorCode(), ecNoPortSelected);
      EXPECT_STREQ(e.what(), "The ComNumber property of the TRivuComPort has not been set");
    }
    EXPECT_EQ(created, 0);
    EXPECT_EQ(port.PortState(), psClosed);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.ComNumber(), 0);
  }
  EXPECT_EQ(platform.Prompts, 1);
}

TEST_F(ComPortTest, OpensThePromptedPortWithTheWindowSettings) {
  platform.Answer = 3;
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  std::shared_ptr<TRecordingDispatcher> dispatcher;
  port.SetDispatcherFactory([&](TRivuCustomComPort& owner) {
    dispatcher = std::make_shared<TRecordingDispatcher>(&owner, &platform);
    return dispatcher;
  });
  port.SetOpen(true);
  ASSERT_TRUE(port.Open());
  EXPECT_EQ(port.PortState(), psOpen);
  EXPECT_EQ(port.ComNumber(), 3);
  EXPECT_EQ(dispatcher->OpenedName, pty.SlavePath());
  EXPECT_EQ(dispatcher->OpenedIn, 16384);
  EXPECT_EQ(dispatcher->OpenedOut, 16384);
  EXPECT_EQ(dispatcher->PortName(), "COM3");
  uint32_t baud = 0;
  uint16_t parity = 9, dataBits = 0, stopBits = 0;
  dispatcher->GetLine(baud, parity, dataBits, stopBits);
  EXPECT_EQ(baud, 115200u);
  EXPECT_EQ(parity, 0);
  EXPECT_EQ(dataBits, 8);
  EXPECT_EQ(stopBits, 1);
  // Options 0x01 (DTR on, RTS off) at open and again in the re-apply pass;
  // the lines are never driven the other way.
  ASSERT_GE(dispatcher->Escapes.size(), 4u);
  for (const int32_t code : dispatcher->Escapes) {
    EXPECT_TRUE(code == efSetDtr || code == efClrRts) << code;
  }
  EXPECT_TRUE(dispatcher->OptionsAreOn(4));
  termios tio{};
  ASSERT_EQ(tcgetattr(pty.SlaveFd(), &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), B115200);
  EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);

  // Opening twice runs InitPort once; closing twice does nothing more.
  port.SetOpen(true);
  EXPECT_EQ(platform.Prompts, 1);
  port.SetOpen(false);
  port.SetOpen(false);
  EXPECT_EQ(port.PortState(), psClosed);
}

TEST_F(ComPortTest, HeldOrMissingPortsRaiseTheirExceptions) {
  TRivuComPort holder(nullptr, &platform);
  Configure(holder);
  holder.SetComNumber(3);
  holder.SetOpen(true);

  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  EXPECT_THROW(port.SetOpen(true), EAlreadyOpen);
  EXPECT_EQ(port.PortState(), psClosed);
  EXPECT_EQ(port.ComNumber(), 3);
  port.SetComNumber(7);
  EXPECT_THROW(port.SetOpen(true), EBadId);
  scratch.Link("com8", scratch.Root() / "unplugged");
  port.SetComNumber(8);
  EXPECT_THROW(port.SetOpen(true), EBadId);
  EXPECT_FALSE(port.Open());
}

TEST_F(ComPortTest, ClosedPortReadsItsDefaultsAndTouchesNoDispatcher) {
  TRivuComPort port(nullptr, &platform);
  int created = 0;
  port.SetDispatcherFactory([&](TRivuCustomComPort& owner) {
    ++created;
    return std::make_shared<TRivuPosixDispatcher>(&owner, &platform);
  });
  Configure(port);
  port.SetBaud(9600);
  port.SetDTR(false);
  port.SetXOnChar(1);
  EXPECT_EQ(port.InBuffFree(), 8192u);
  EXPECT_EQ(port.OutBuffFree(), 16384u);
  EXPECT_EQ(port.InBuffUsed(), 0u);
  EXPECT_EQ(port.OutBuffUsed(), 0u);
  EXPECT_FALSE(port.DSR());
  EXPECT_EQ(port.LineError(), 0);
  port.SetHWFlowOptions(HWFlowBit(hwfUseDTR));
  port.SetTracing(tlOn);
  EXPECT_EQ(port.Tracing(), tlOn);
  port.SetTracing(tlDump);  // only on and off are kept while closed
  EXPECT_EQ(port.Tracing(), tlOff);
  EXPECT_EQ(created, 0);
  EXPECT_EQ(port.PortState(), psClosed);
  EXPECT_EQ(ComName(7), "COM7");
}

TEST_F(ComPortTest, FlowControlThresholdsFollowTheReceiveQueue) {
  TRivuComPort port(nullptr, &platform);
  port.SetInSize(16384);
  port.SetHWFlowOptions(HWFlowBit(hwfUseRTS));
  EXPECT_EQ(port.BufferFull(), 14745);
  EXPECT_EQ(port.BufferResume(), 1638);
  port.SetHWFlowOptions(0);
  port.SetBufferFull(0);
  port.SetBufferResume(0);
  port.SetSWFlowOptions(swfBoth);
  EXPECT_EQ(port.BufferFull(), 12288);
  EXPECT_EQ(port.BufferResume(), 4096);
  // A limit beyond the receive queue could never be reached.
  port.SetBufferFull(20000);
  EXPECT_EQ(port.BufferFull(), 14745);
  port.SetBufferResume(15000);
  EXPECT_EQ(port.BufferResume(), 1474);
  port.SetRS485Mode(true);
  port.SetHWFlowOptions(HWFlowBit(hwfRequireCTS));
  EXPECT_FALSE(port.RS485Mode());
}

// RTS given to flow control ends RS-485 mode in the property and in the
// open dispatcher alike.
TEST_F(ComPortTest, FlowControlOnRtsEndsRS485ModeEverywhere) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  std::shared_ptr<TRecordingDispatcher> dispatcher;
  port.SetDispatcherFactory([&](TRivuCustomComPort& owner) {
    dispatcher = std::make_shared<TRecordingDispatcher>(&owner, &platform);
    return dispatcher;
  });
  port.SetComNumber(3);
  port.SetOpen(true);
  ASSERT_TRUE(dispatcher);
  // A driver that toggles RTS (a pseudo-terminal has no RS-485 mode).
  dispatcher->KeepLineStates = true;
  port.SetRS485Mode(true);
  EXPECT_TRUE(dispatcher->InRS485Mode());
  port.SetHWFlowOptions(HWFlowBit(hwfUseRTS));
  EXPECT_FALSE(port.RS485Mode());
  EXPECT_FALSE(dispatcher->InRS485Mode());
}

TEST_F(ComPortTest, FlowControlTheDriverCannotDoRaisesAndIsNotKept) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  port.SetOpen(true);
  ASSERT_TRUE(port.Open());
  for (const THWFlowOptions option : {hwfUseDTR, hwfRequireDSR}) {
    SCOPED_TRACE(int(option));
    EXPECT_THROW(port.SetHWFlowOptions(HWFlowBit(option)), EInOutError);
    EXPECT_EQ(port.HWFlowOptions(), 0);
  }
  port.SetHWFlowOptions(HWFlowBit(hwfUseRTS) | HWFlowBit(hwfRequireCTS));
  EXPECT_EQ(port.HWFlowOptions(), HWFlowBit(hwfUseRTS) | HWFlowBit(hwfRequireCTS));
  // A pseudo-terminal has no RS-485 mode either: refused aloud, not kept, and
  // the flow control it would have ended stays.
  EXPECT_THROW(port.SetRS485Mode(true), EInOutError);
  EXPECT_FALSE(port.RS485Mode());
  EXPECT_EQ(port.HWFlowOptions(), HWFlowBit(hwfUseRTS) | HWFlowBit(hwfRequireCTS));
}

// Reading the dispatcher never raises: it is the current one or none, after
// an automatic open where that is on.
TEST_F(ComPortTest, DispatcherReadsTheCurrentOneOrNone) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  port.SetAutoOpen(false);
  EXPECT_EQ(port.Dispatcher(), nullptr);
  EXPECT_FALSE(port.Open());
  port.SetAutoOpen(true);
  EXPECT_NE(port.Dispatcher(), nullptr);
  EXPECT_TRUE(port.Open());
}

TEST_F(ComPortTest, NewComNumberWhileOpenReopensAndKeepsTriggers) {
  TPtyPair second;
  scratch.Link("com5", second.SlavePath());
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  port.SetOpen(true);
  const uint16_t trigger = port.AddDataTrigger("OK", false);
  ASSERT_GT(trigger, 0);
  const auto first = port.Dispatcher();
  port.SetComNumber(5);
  ASSERT_TRUE(port.Open());
  EXPECT_NE(port.Dispatcher(), first);
  EXPECT_EQ(port.Dispatcher()->PortName(), "COM5");
  // The restored trigger answers to its handle on the new dispatcher.
  EXPECT_NO_THROW(port.RemoveTrigger(trigger));
  EXPECT_THROW(port.RemoveTrigger(trigger), EBadTriggerHandle);
}

TEST_F(ComPortTest, BlockOperationsRaiseTheBufferExceptions) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  port.SetOpen(true);
  pty.Write("abc", 3);
  ASSERT_TRUE(WaitUntil([&] { return port.InBuffUsed() == 3; }));
  char block[8] = {};
  EXPECT_THROW(port.GetBlock(block, 4), EBufferIsEmpty);
  EXPECT_EQ(port.PeekBlock(block, 2), 2);
  EXPECT_EQ(port.GetBlock(block, 3), 3);
  EXPECT_EQ(std::string(block, 3), "abc");
  std::vector<uint8_t> big(16385);
  EXPECT_THROW(port.PutBlock(big.data(), uint16_t(big.size())), EOutputBufferTooSmall);
  EXPECT_EQ(port.PutBlock("hi", 2), 0);
  EXPECT_EQ(pty.Read(2, 5s), (std::vector<uint8_t>{'h', 'i'}));
}

// A string longer than a block can be goes out whole, or not at all: the
// output buffer can never take it, so it raises as a block too large would.
TEST_F(ComPortTest, PutStringSendsAllOfAStringOrRaises) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetOutSize(UINT16_MAX);
  port.SetComNumber(3);
  port.SetOpen(true);
  EXPECT_THROW(port.PutString(std::string(70000, 'z')), EOutputBufferTooSmall);
  std::string text(UINT16_MAX, 'x');
  text.back() = 'y';
  port.PutString(text);
  const std::vector<uint8_t> got = pty.Read(text.size(), 10s);
  ASSERT_EQ(got.size(), text.size());
  EXPECT_EQ(got.front(), 'x');  // the refused string sent nothing ahead of it
  EXPECT_EQ(got.back(), 'y');
}

TEST_F(ComPortTest, OtherThreadsNeverOpenTheClosedPort) {
  platform.Answer = 3;
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  std::thread worker([&] {
    EXPECT_THROW(port.CharReady(), ECommNotOpen);
    char byte;
    EXPECT_THROW(port.GetBlock(&byte, 1), ECommNotOpen);
    EXPECT_THROW(port.PutBlock("x", 1), ECommNotOpen);
    EXPECT_EQ(port.WaitForData(1, std::chrono::steady_clock::now() + 1s), TDataWait::Closed);
  });
  worker.join();
  EXPECT_EQ(platform.Prompts, 0);
  EXPECT_EQ(port.PortState(), psClosed);
}

// A worker hammers the port while its owner opens and closes it: every call
// returns or raises cleanly, never on a released dispatcher.
TEST_F(ComPortTest, ClosingUnderABusyWorkerIsSafe) {
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  std::atomic<bool> done{false};
  std::atomic<long> calls{0};
  std::thread worker([&] {
    char block[4];
    while (!done) {
      bool closed = false;
      try {
        port.CharReady();
        port.PutBlock("ping", 4);
        port.PeekBlock(block, 1);
      } catch (const ECommNotOpen&) {
        closed = true;
      } catch (const ERivuException&) {
      }
      try {
        port.GetBlock(block, 4);
      } catch (const ERivuException&) {
      }
      try {
        port.FlushInBuffer();
        port.FlushOutBuffer();
        port.WaitForData(1, std::chrono::steady_clock::now() + 1ms);
      } catch (const ERivuException&) {
      }
      ++calls;
      // Refused calls cost a throw each; a short breath keeps the worker from
      // starving the owner's open and close on a small machine.
      if (closed) std::this_thread::sleep_for(50us);
    }
  });
  std::thread box([&] {
    while (!done) {
      pty.Write("data", 4);
      pty.ReadAvailable();
      std::this_thread::sleep_for(1ms);
    }
  });
  for (int i = 0; i < 500; ++i) {
    port.SetOpen(true);
    port.SetOpen(false);
  }
  done = true;
  worker.join();
  box.join();
  EXPECT_GT(calls, 0);
  EXPECT_EQ(port.PortState(), psClosed);
}

TEST_F(ComPortTest, ClosingWritesAnActiveTraceFirst) {
  const auto traceFile = scratch.Root() / "RIVU.TRC";
  {
    TRivuComPort port(nullptr, &platform);
    Configure(port);
    port.SetComNumber(3);
    port.SetOpen(true);
    port.SetOpen(false);
  }
  EXPECT_FALSE(std::filesystem::exists(traceFile));

  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  port.SetTracing(tlOn);
  port.SetOpen(true);
  port.PutBlock("AT\r", 3);
  port.SetOpen(false);
  std::ifstream in(traceFile, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  EXPECT_EQ(text, "Transmit: \r\nAT[13]\r\n");
}

TEST_F(ComPortTest, PermissionRefusalNamesDeviceGroupAndFix) {
  // Root opens any node, so the refusal is played by a device layer that
  // reports it.
  class TRefusing : public TRivuPosixDispatcher {
   public:
    using TRivuPosixDispatcher::TRivuPosixDispatcher;
    int32_t OpenCom(const std::string&, int32_t, int32_t) override {
      refused = true;
      return -1;
    }
    int32_t LastDeviceError() const override { return refused ? 13 : 0; }
    bool refused = false;
  };
  TRivuComPort port(nullptr, &platform);
  Configure(port);
  port.SetComNumber(3);
  port.SetDispatcherFactory(
      [&](TRivuCustomComPort& owner) { return std::make_shared<TRefusing>(&owner, &platform); });
  try {
    port.SetOpen(true);
    FAIL() << "opened a refused device";
  } catch (const EInOutError& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find(pty.SlavePath()), std::string::npos) << text;
    EXPECT_NE(text.find("usermod -aG"), std::string::npos) << text;
    EXPECT_EQ(text.find("already open"), std::string::npos) << text;
  }
  EXPECT_EQ(port.PortState(), psClosed);
}

}  // namespace

namespace {

TEST_F(ComPortTest, DialogTrialOpenGoesThroughTheDeviceLayer) {
  ASSERT_TRUE(UseDispatcherForAvail && DispatcherPortProbe);
  EXPECT_TRUE(IsPortAvailable(3));
  EXPECT_FALSE(IsPortAvailable(4));
  TRivuComPort holder(nullptr, &platform);
  Configure(holder);
  holder.SetComNumber(3);
  holder.SetOpen(true);
  EXPECT_EQ(DispatcherPortProbe(pty.SlavePath()), TProbeResult::prInUse);
  EXPECT_TRUE(IsPortAvailable(3));
  ShowPortsInUse = false;
  EXPECT_FALSE(IsPortAvailable(3));
  ShowPortsInUse = true;
}

}  // namespace
