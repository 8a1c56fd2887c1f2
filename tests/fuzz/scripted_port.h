// A download port fed by a script of the box's bytes instead of a serial
// line, so that arbitrary streams can be pushed through the task quickly.
//
// The script is a sequence of records: a length byte, then that many bytes
// the box sends. A record of length 0 is a pause in which nothing arrives
// (a wait with a time limit times out). When the script is used up the line
// hangs up.
#pragma once

#include <cstring>
#include <deque>
#include <mutex>
#include <span>
#include <vector>

#include "download/download_port.h"
#include "serial/errors/error_codes.h"
#include "serial/errors/exceptions.h"

class TScriptedPort : public TDownloadPort {
 public:
  explicit TScriptedPort(std::span<const uint8_t> script) : script_(script.begin(), script.end()) {}

  bool CharReady() override { return Buffered() > 0; }
  void GetBlock(void* block, uint16_t len) override { Take(block, len, true); }
  void PeekBlock(void* block, uint16_t len) override { Take(block, len, false); }
  void PutBlock(const void* block, uint16_t len) override {
    std::lock_guard lock(mutex_);
    const auto* p = static_cast<const uint8_t*>(block);
    sent_.insert(sent_.end(), p, p + len);
  }
  void FlushInBuffer() override {
    std::lock_guard lock(mutex_);
    buffer_.clear();
  }
  void FlushOutBuffer() override {}
  uint32_t InBuffUsed() override { return static_cast<uint32_t>(Buffered()); }

  TPortWait WaitForData(uint32_t count, std::chrono::steady_clock::time_point,
                        std::stop_token stop) override {
    std::lock_guard lock(mutex_);
    for (;;) {
      if (stop.stop_requested()) return TPortWait::Stopped;
      if (buffer_.size() >= count) return TPortWait::Ready;
      if (pos_ >= script_.size()) return TPortWait::Closed;
      const std::size_t len = script_[pos_++];
      if (len == 0) return TPortWait::TimedOut;
      const std::size_t take = std::min(len, script_.size() - pos_);
      // The dispatch buffer holds 8192 bytes; what does not fit is lost here,
      // which a real line would keep, but the task must cope either way.
      for (std::size_t i = 0; i < take && buffer_.size() < 8192; ++i) {
        buffer_.push_back(script_[pos_ + i]);
      }
      pos_ += take;
    }
  }

  std::vector<uint8_t> Sent() {
    std::lock_guard lock(mutex_);
    return sent_;
  }

 private:
  std::size_t Buffered() {
    std::lock_guard lock(mutex_);
    return buffer_.size();
  }
  void Take(void* block, uint16_t len, bool remove) {
    std::lock_guard lock(mutex_);
    if (buffer_.size() < len) throw EBufferIsEmpty(ecBufferIsEmpty);
    std::copy_n(buffer_.begin(), len, static_cast<uint8_t*>(block));
    if (remove) buffer_.erase(buffer_.begin(), buffer_.begin() + len);
  }

  std::mutex mutex_;
  std::vector<uint8_t> script_;
  std::size_t pos_ = 0;
  std::deque<uint8_t> buffer_;
  std::vector<uint8_t> sent_;
};
