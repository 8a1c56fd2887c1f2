// The device layer's I/O threads.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "serial/dispatcher/dispatcher_thread.h"
#include "serial/dispatcher/io_queue.h"

class TRivuPosixDispatcher;

class TRivuPosixThread : public TRivuDispatcherThread {
 public:
  explicit TRivuPosixThread(TRivuPosixDispatcher& D);

 protected:
  bool Stopping() const;
  TRivuPosixDispatcher& Port;
};

// Waits for received bytes and drains the driver into chunks on the I/O queue.
class TReadThread : public TRivuPosixThread {
 public:
  explicit TReadThread(TRivuPosixDispatcher& D);
  const char* Name() const override { return "ComRead"; }

 protected:
  void Execute() override;

 private:
  // What one drain of the driver gave: the bytes in all, and the last read's
  // result (a count, 0 or a negative code).
  struct TDrained {
    int32_t Total = 0;
    int32_t Last = 0;
  };
  // The steps of one turn. Each returns false (or no value) when the thread
  // is to end.
  bool WaitForRoom(int Fd);                     // over the input limit
  std::optional<bool> WaitForBytes(int Fd);     // true: readable
  TDrained DrainDriver(int Fd, bool MoveHere);  // reads into chunks on the queue
  void DeliverHere(const TDrained& D);          // direct delivery, then the rest
  void CheckReads(const TDrained& D);           // failed reads, a silent hang-up
  void Fail(int32_t Code);                      // ends the threads with Code
  std::vector<uint8_t> Scratch;
  int32_t Result_ = 0;
  int EmptyWakes_ = 0;
};

// Takes everything pending in the output buffer and writes it.
class TWriteThread : public TRivuPosixThread {
 public:
  using TRivuPosixThread::TRivuPosixThread;
  const char* Name() const override { return "ComWrite"; }

 protected:
  void Execute() override;

 private:
  // 0, ioInvalidHandle (closed underneath) or the code the thread ends with.
  int32_t WriteBlock(int Fd, uint64_t Ticket);
  std::vector<uint8_t> Block;
};

// Watches the device for hang-ups, and, where the driver has them, for modem
// line changes and line errors, which become status items.
class TStatusThread : public TRivuPosixThread {
 public:
  using TRivuPosixThread::TRivuPosixThread;
  const char* Name() const override { return "ComStatus"; }

 protected:
  void Execute() override;
};
