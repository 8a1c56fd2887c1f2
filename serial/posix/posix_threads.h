// The device layer's I/O threads.
#pragma once

#include <memory>
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
  std::vector<uint8_t> Scratch;
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
