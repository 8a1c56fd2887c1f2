// The device layer over the platform's serial driver: opens the device, runs
// the read, write and status threads next to the dispatcher thread, and feeds
// the I/O queue.
#pragma once

#include <atomic>
#include <mutex>

#include "serial/dispatcher.h"

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
  int32_t InQueueUsed() override { return Queue.LeadingDataBytes(); }
  int32_t OpenCom(const std::string& Name, int32_t InSize, int32_t OutSize) override;
  int32_t CloseCom() override;
  int32_t ProcessCommunications() override;
  uint8_t GetComModemLines() override;
  uint32_t DeviceOutputQueued() override;
  void SetComBreak(bool On) override;
  int32_t LastDeviceError() const override { return LastError_.load(); }
  void SetKillThreads() override;

  // Line settings writes to the device since open (a change-nothing SetLine
  // makes none).
  uint32_t ComStateWrites() const { return StateWrites_.load(); }

 protected:
  // Error bits found by the status thread, taken by GetComError.
  void AddDeviceErrors(uint32_t Bits) { PendingErrors_.fetch_or(Bits); }

 private:
  friend class TReadThread;
  friend class TWriteThread;
  friend class TStatusThread;

  bool WaitThreadEnd(TRivuDispatcherThread* Thread, int TimeoutMs);
  // The write thread has dropped everything flushed so far.
  void AcknowledgeFlush();
  bool DataInBuffer();

  int KillFd_ = -1;   // readable for good once the threads must end
  int FlushFd_ = -1;  // wakes the write thread out of a stalled write
  // Serialises one-shot device calls of any thread with the close.
  std::mutex FdMutex_;
  // Held by the read thread from a read until its bytes are queued, so an
  // input flush never lets bytes read before it reach the buffer after it.
  std::mutex ReadMutex_;
  TDcb Shadow_;
  std::atomic<bool> ModemLinesOk_{false};
  std::atomic<int32_t> LastError_{0};
  std::atomic<uint32_t> PendingErrors_{0};
  std::atomic<uint32_t> StateWrites_{0};
  std::atomic<uint64_t> FlushRequests_{0};
  std::atomic<uint64_t> FlushAcks_{0};
};
