// The device layer over the Win32 serial driver: opens the device, runs the
// read, write and status threads next to the dispatcher thread, and feeds the
// I/O queue.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/input_hold.h"
#include "serial/win32/win32_device.h"

class TRivuWin32Dispatcher : public TRivuBaseDispatcher {
 public:
  explicit TRivuWin32Dispatcher(TDispatcherOwner* Owner, TSerialPlatform* Platform = nullptr);
  ~TRivuWin32Dispatcher() override;

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
  bool SetupCom(int32_t InSize, int32_t OutSize) override;
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

  // --- What the I/O threads use ---
  // The open device; it stays open until every I/O thread has ended.
  HANDLE Device() const { return Device_.Get(); }
  // Signalled for good once the threads must end.
  HANDLE KillEvent() const { return Kill_.Get(); }
  // Received bytes wait in the driver (the status thread saw them).
  HANDLE SerialEvent() const { return Serial_.Get(); }
  // Bytes were added to the output buffer.
  HANDLE OutputEvent() const { return Output_.Get(); }
  // An output flush was asked for.
  HANDLE OutFlushEvent() const { return OutFlush_.Get(); }
  // Held from a read until its bytes are queued, so an input flush never lets
  // bytes read before it reach the buffer after it.
  std::unique_lock<std::mutex> LockRead() { return std::unique_lock(ReadMutex_); }
  void NoteError(DWORD Error) { LastError_ = windev::PortErrorNumber(Error); }
  // Bytes the driver holds for reading; nothing when it cannot tell (a
  // device that has gone). Error bits found meanwhile wait for GetComError.
  std::optional<DWORD> DeviceInputQueued();
  // True while the read thread is to leave received bytes to the driver
  // (the flow limits, input_hold.h).
  bool HoldOffInput() { return InputHold_.HoldOff(*this); }
  // Signalled when a held-off read thread is to look again.
  HANDLE InputRoomEvent() const { return InputRoom_.Get(); }
  void DataWanted() override;
  void InputConsumed() override;
  // The status thread's report of one wait's events. Modem lines the driver
  // says moved but that read as at the last report (or the start) give their
  // delta bits; the events become a status item. False when no item could
  // be made.
  bool ReportDeviceEvents(DWORD Events);

 protected:
  // The driver's state and error calls, one place each, so that a test can stand in
  // for a driver the platform under test does not have.
  virtual bool ReadDriverState(HANDLE Device, DCB& Out);
  virtual bool WriteDriverState(HANDLE Device, const DCB& In);
  // ClearCommError.
  virtual bool ClearDriverErrors(HANDLE Device, DWORD& Errors, COMSTAT& Stat);

 private:
  // Waits for an I/O thread to end at the close.
  void StopIoThread(TRivuDispatcherThread* Thread);
  void WakeWriter(bool ForFlush) override;
  bool PurgeDriverOutput() override;
  // ClearCommError: its error bits join those found before; the driver's
  // queue counts go to Stat. False when the call failed.
  bool TakeDriverErrors(COMSTAT& Stat);
  void WakeHeldOffInput();

  windev::THandle Device_;
  windev::THandle PortHold_;  // while Device_ is open (windev::Open)
  windev::THandle Kill_, Serial_, Output_, OutFlush_, InputRoom_;
  // Serialises one-shot device calls of any thread with the close.
  std::mutex DeviceMutex_;
  std::mutex ReadMutex_;
  std::atomic<int32_t> LastError_{0};
  std::atomic<uint32_t> PendingErrors_{0};
  TInputHold InputHold_;
  // The driver toggles RTS as this program asked (undone at the close).
  bool Toggling_ = false;  // DeviceMutex_
  std::atomic<uint8_t> EventLines_{0};
};
