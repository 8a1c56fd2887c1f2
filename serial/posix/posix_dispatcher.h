// The device layer over the platform's serial driver: opens the device, runs
// the read, write and status threads next to the dispatcher thread, and feeds
// the I/O queue.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

#include "serial/dispatcher/dispatcher.h"
#include "serial/posix/posix_device.h"

// Input flow limits as the read thread applies them. While flow control on
// input is on (XON/XOFF, or the RTS/CTS handshake), the read thread holds off
// once more than HoldAbove bytes wait unread in the component, and reads again
// once fewer than ResumeBelow wait, or none: the driver keeps what arrives
// meanwhile, and its own throttle (XOFF, RTS low) holds the far end.
struct TInputLimits {
  int64_t HoldAbove = -1;  // negative: no limits
  int64_t ResumeBelow = 0;
};
// The limits a record asks for, on an input buffer of InSize bytes.
TInputLimits InputLimits(const TDcb& Dcb, uint32_t InSize);
// Whether the read thread holds off with Unread bytes waiting, given whether
// it held off until now.
bool HoldInputOff(const TInputLimits& Limits, bool HeldOff, int64_t Unread);

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
  int32_t ReadCom(uint8_t* Buffer, int32_t Len) override;
  int32_t SetComState(TDcb& Record) override;
  int32_t WriteCom(const uint8_t* Buffer, int32_t Len) override;
  int32_t WaitComEvent(uint32_t& Mask) override {
    Mask = 0;
    return 0;
  }
  bool SetupCom(int32_t, int32_t) override { return true; }  // the driver's queues are fixed
  void StartDispatcher() override;
  void StopDispatcher() override;
  int32_t OutBufUsed() override;
  uint32_t OutputInHand() override { return InHand_.load(); }
  int32_t InQueueUsed() override { return Queue.LeadingDataBytes(); }
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
  // Received bytes no reader has taken yet, in the I/O queue and the
  // dispatch buffer.
  int64_t UnreadInput();
  // True while the read thread is to leave received bytes to the driver.
  bool HoldOffInput();
  // Sleeps until a reader takes bytes, the limits change, Fd hangs up or the
  // threads must end; the poll of Fd.
  posixdev::TPoll WaitForInputRoom(int Fd, int TimeoutMs);
  void InputConsumed() override;
  // Error bits found by the status thread, taken by GetComError.
  void AddDeviceErrors(uint32_t Bits) { PendingErrors_.fetch_or(Bits); }

  // Output flushes: FlushCom empties the output buffer and takes a ticket;
  // the write thread drops the rest of any block taken before that ticket,
  // purges the driver's queue, and acknowledges. Queued output, flushes and
  // the end all wake the write thread through one descriptor.
  //
  // Moves every byte of the output buffer into Block and returns the flush
  // ticket it was taken under; nothing when the buffer is empty.
  std::optional<uint64_t> TakeOutput(std::vector<uint8_t>& Block);
  // A flush asked for after the ticket a block was taken under.
  bool FlushedSince(uint64_t Ticket) const { return FlushRequests_.load() > Ticket; }
  bool FlushPending() const { return FlushAcks_.load() < FlushRequests_.load(); }
  // Purges the driver's output and wakes every flush asked for so far.
  void CompleteFlush(int Fd);
  // The block in hand: bytes the driver has taken, and the block's end
  // (sent, dropped by a flush or given up), which wakes the waiters.
  void BlockWritten(uint32_t N) { InHand_.fetch_sub(N); }
  void BlockDone();
  // Sleeps until output is queued, a flush is asked for or the threads must
  // end; with Fd, also until the driver takes more bytes. The poll of Fd.
  posixdev::TPoll WaitWriteWork(int Fd, int TimeoutMs);

 private:
  bool WaitThreadEnd(TRivuDispatcherThread* Thread, int TimeoutMs);
  // Wakes a read thread holding input off to look again.
  void WakeHeldOffInput();

  int KillFd_ = -1;
  int WriteWakeFd_ = -1;
  int ReadWakeFd_ = -1;
  std::atomic<bool> ReadResting_{false};
  std::atomic<int64_t> HoldAbove_{-1};
  std::atomic<int64_t> ResumeBelow_{0};
  std::atomic<bool> InputHeldOff_{false};
  // Serialises one-shot device calls of any thread with the close.
  std::mutex FdMutex_;
  std::mutex ReadMutex_;
  TDcb Shadow_;
  std::atomic<bool> ModemLinesOk_{false};
  std::atomic<int32_t> LastError_{0};
  std::atomic<uint32_t> PendingErrors_{0};
  std::atomic<uint32_t> StateWrites_{0};
  std::atomic<uint64_t> FlushRequests_{0};  // changed under the output lock
  std::atomic<uint64_t> FlushAcks_{0};
  std::atomic<int32_t> LastPurge_{0};
  // Taken from the buffer by the write thread, not yet taken by the driver:
  // still output waiting, though the buffer's room is free again.
  std::atomic<uint32_t> InHand_{0};  // taken under the output lock
};
