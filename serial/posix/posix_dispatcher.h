// The device layer over the platform's serial driver: opens the device, runs
// the read, write and status threads next to the dispatcher thread, and feeds
// the I/O queue.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/input_hold.h"
#include "serial/posix/posix_device.h"
#include "serial/posix/status_change.h"

class TReadThread;
class TWriteThread;
class TStatusThread;

class TRivuPosixDispatcher : public TRivuBaseDispatcher {
 public:
  explicit TRivuPosixDispatcher(TDispatcherOwner* Owner, TSerialPlatform* Platform = nullptr);
  ~TRivuPosixDispatcher() override;

  int32_t EscapeComFunction(int32_t Code) override;
  int32_t FlushCom(int32_t Which) override;
  uint32_t GetComError(TComStat& Stat) override;
  uint32_t GetComEventMask(int32_t) override { return 0; }
  int32_t GetComState(TDcb& Record) override;
  int32_t SetComState(TDcb& Record) override;
  int32_t WaitComEvent(uint32_t& Mask) override {
    Mask = 0;
    return 0;
  }
  bool SetupCom(int32_t, int32_t) override { return true; }  // the driver's queues are fixed
  void StartDispatcher() override;
  void StopDispatcher() override;
  int32_t InQueueUsed() override { return GetQueue().LeadingDataBytes(); }
  int32_t OpenCom(const std::string& Name, int32_t InSize, int32_t OutSize) override;
  int32_t CloseCom() override;
  int32_t ProcessCommunications() override;
  uint8_t GetComModemLines() override;
  uint32_t DeviceOutputQueued() override;
  void SetComBreak(bool On) override;
  int32_t LastDeviceError() const override { return LastError_.load(); }
  void SetKillThreads() override;
  void NameThread(const char* Name) override;

  // Line settings writes to the device since open (a change-nothing SetLine
  // makes none).
  uint32_t ComStateWrites() const { return StateWrites_.load(); }

  // --- What the I/O threads use ---
  // Readable for good once the threads must end.
  int KillFd() const { return KillFd_; }
  bool ModemLinesSupported() const { return ModemLinesOk_.load(); }
  // Held from a read until its bytes are queued, so an input flush never lets
  // bytes read before it reach the buffer after it.
  std::unique_lock<std::mutex> LockRead() { return std::unique_lock(ReadMutex_); }
  // Between reads the read thread may let the driver hold what arrives for a
  // moment (nobody waits, nobody listens): one read then takes many of a USB
  // adapter's small chunks. A reader beginning to wait ends the rest at once.
  void RestBetweenReads(int TimeoutMs);
  void DataWanted() override;
  // True while the read thread is to leave received bytes to the driver.
  bool HoldOffInput();
  // Sleeps until a reader takes bytes, the limits change, Fd hangs up or the
  // threads must end; the poll of Fd.
  posixdev::TPoll WaitForInputRoom(int Fd, int TimeoutMs);
  void InputConsumed() override;
  // Error bits found by the status thread, taken by GetComError.
  void AddDeviceErrors(uint32_t Bits) { PendingErrors_.fetch_or(Bits); }
  // The status thread's report of one look at the lines and counters: the
  // error bits wait for GetComError, pulses join the modem status, and the
  // events become a status item. False when no item could be made.
  bool ReportStatusChange(const TStatusChange& Change);

  // Queued output, flushes and the end all wake the write thread through
  // one descriptor.
  // Sleeps until output is queued, a flush is asked for or the threads must
  // end; with Fd, also until the driver takes more bytes. The poll of Fd.
  posixdev::TPoll WaitWriteWork(int Fd, int TimeoutMs);

 private:
  void WakeWriter(bool ForFlush) override;
  bool PurgeDriverOutput() override;
  // Wakes a read thread holding input off to look again.
  void WakeHeldOffInput();

  int KillFd_ = -1;
  int WriteWakeFd_ = -1;
  int ReadWakeFd_ = -1;
  std::atomic<bool> ReadResting_{false};
  TInputHold InputHold_;
  // Serialises one-shot device calls of any thread with the close.
  std::mutex FdMutex_;
  std::mutex ReadMutex_;
  TDcb Shadow_;
  std::atomic<bool> ModemLinesOk_{false};
  std::atomic<int32_t> LastError_{0};
  std::atomic<uint32_t> PendingErrors_{0};
  std::atomic<uint32_t> StateWrites_{0};
};
