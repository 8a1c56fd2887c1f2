// What the download task needs of the serial port: the com port's polling
// reads and block writes, plus a wait that sleeps instead of polling.
#pragma once

#include <chrono>
#include <cstdint>
#include <stop_token>

enum class TPortWait { Ready, Stopped, TimedOut, Closed };

class TDownloadPort {
 public:
  virtual ~TDownloadPort() = default;

  // The component's operations; failures raise its exceptions
  // (EBufferIsEmpty when fewer bytes are buffered than asked for).
  virtual bool CharReady() = 0;
  virtual void GetBlock(void* Block, uint16_t Len) = 0;
  virtual void PeekBlock(void* Block, uint16_t Len) = 0;
  virtual void PutBlock(const void* Block, uint16_t Len) = 0;
  virtual void FlushInBuffer() = 0;
  virtual void FlushOutBuffer() = 0;
  virtual uint32_t InBuffUsed() = 0;

  // True once the port closed or failed; a port that cannot tell says false.
  virtual bool PortLost() { return false; }

  // Sleeps until at least Count unread bytes are buffered, Stop is
  // requested, Deadline passes, or the port closed or failed.
  virtual TPortWait WaitForData(uint32_t Count, std::chrono::steady_clock::time_point Deadline,
                                std::stop_token Stop) = 0;
};
