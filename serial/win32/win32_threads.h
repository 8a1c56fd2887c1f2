// The device layer's I/O threads.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "serial/dispatcher/dispatcher_thread.h"
#include "serial/win32/io_call.h"
#include "serial/win32/win32_device.h"

class TRivuWin32Dispatcher;

// How an asynchronous device call ended.
enum class TIoEnd {
  Done,     // completed; the count is valid
  Aborted,  // aborted by a purge or a mask change
  Stopped,  // the threads must end; the call was cancelled
  Flushed,  // an output flush arrived; the call was cancelled
  Failed,   // failed; the thread's device error holds why
};

class TRivuWin32Thread : public TRivuDispatcherThread {
 public:
  explicit TRivuWin32Thread(TRivuWin32Dispatcher& D);

 protected:
  bool Stopping() const;
  // Waits for the call pending on Ov (which signals IoEvent) to end, waking
  // for the stop at once. A call that is left is cancelled and waited for, so
  // that its buffer and record are free again.
  virtual TIoEnd WaitForOverlapped(OVERLAPPED& Ov, DWORD& Count);
  // The end of the call on Ov once IoEvent is signalled; nothing while the
  // call is still under way.
  std::optional<TIoEnd> Outcome(OVERLAPPED& Ov, DWORD& Count);
  // Cancels the call pending on Ov, waits until it has let go, and returns
  // Why. A call that does not end within a while is given up: its record and
  // buffer go to KeepUntilEnded, this thread makes no further call and the
  // threads end (a flush's cancel reads as Stopped).
  TIoEnd Cancel(OVERLAPPED& Ov, DWORD& Count, TIoEnd Why);
  // The end of a call that failed at once or completed with an error.
  TIoEnd EndOf(DWORD Error);
  // The code a failed call ends the thread with: a device that has gone is a
  // read failure, whichever thread sees it; invalid handle (closed
  // underneath) ends the threads without an error.
  int32_t FailureCode(int32_t Own) const;
  // A fresh record for the next call on IoEvent. It lives off the stack, so
  // that a call given up (see Cancel) never writes into one that has moved on.
  OVERLAPPED& NewCall() { return Call_->Begin(); }
  HANDLE IoEvent() const { return Call_->Event.Get(); }
  // The memory the calls read into and write from; the driver's while a call
  // is under way.
  std::vector<uint8_t>& CallBuffer() { return Call_->Buffer; }
  DWORD& CallEvents() { return Call_->Events; }

  TRivuWin32Dispatcher& Port;
  DWORD DeviceError = 0;

 private:
  std::unique_ptr<TIoCall> Call_ = std::make_unique<TIoCall>();
  bool Abandoned_ = false;  // a cancelled call never ended
};

// Wakes when the status thread reports received bytes (and at least every
// 50 ms) and drains the driver into chunks on the I/O queue.
class TReadThread : public TRivuWin32Thread {
 public:
  explicit TReadThread(TRivuWin32Dispatcher& D);
  const char* Name() const override { return "ComRead"; }

 protected:
  void Execute() override;

 private:
  // A count, or a negative code the thread ends with (0 when quiet).
  int32_t ReadSerial(DWORD Len, bool& Fail);
};

// Takes everything pending in the output buffer and writes it.
class TWriteThread : public TRivuWin32Thread {
 public:
  using TRivuWin32Thread::TRivuWin32Thread;
  const char* Name() const override { return "ComWrite"; }

 protected:
  void Execute() override;

 private:
  // 0, or the code the thread ends with.
  int32_t WriteSerial(uint64_t Ticket);
  // Also ends, cancelling the write, when a flush arrives for the block.
  TIoEnd WaitForOverlapped(OVERLAPPED& Ov, DWORD& Count) override;
  uint64_t Ticket_ = 0;  // the flush ticket of the block in hand
};

// Waits for device events: received bytes wake the read thread, line and
// modem events become status items.
class TStatusThread : public TRivuWin32Thread {
 public:
  using TRivuWin32Thread::TRivuWin32Thread;
  const char* Name() const override { return "ComStatus"; }

 protected:
  void Execute() override;

 private:
  // One WaitCommEvent; the trailing edge of ring leaves the mask once when
  // the driver does not know it.
  TIoEnd WaitSerialEvent(DWORD& Events);
  DWORD Mask = 0;
};
