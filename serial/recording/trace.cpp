#include "serial/recording/trace.h"

#include <new>

#include "serial/errors/error_codes.h"
#include "serial/recording/byte_items.h"
#include "serial/recording/text_file.h"

namespace {

// Text is handed to the file in pieces of about this size.
constexpr std::size_t kTextChunk = 512;

std::string Heading(char kind) {
  if (kind == kTraceReceive) return "Receive: ";
  if (kind == kTraceTransmit) return "Transmit: ";
  return std::string("Special-") + kind + ": ";
}

}  // namespace

int32_t TTraceRecorder::InitTracing(uint32_t numEntries) {
  std::lock_guard guard(lock_);
  if (hasBuffer_) {
    index_ = 0;
    wrapped_ = false;
  } else {
    if (numEntries > kMaxTraceEntries) return ecBadArgument;
    try {
      buffer_.assign(numEntries, TTraceEntry{0, 0});
    } catch (const std::bad_alloc&) {
      return ecOutOfMemory;
    }
    hasBuffer_ = true;
    index_ = 0;
    wrapped_ = false;
  }
  on_.store(true, std::memory_order_relaxed);
  return ecOK;
}

int32_t TTraceRecorder::ClearTracing() {
  std::lock_guard guard(lock_);
  index_ = 0;
  wrapped_ = false;
  return ecOK;
}

void TTraceRecorder::AbortTracing() {
  std::lock_guard guard(lock_);
  AbortTracingLocked();
}

void TTraceRecorder::AbortTracingLocked() {
  on_.store(false, std::memory_order_relaxed);
  std::vector<TTraceEntry>().swap(buffer_);
  hasBuffer_ = false;
  index_ = 0;
  wrapped_ = false;
}

void TTraceRecorder::StartTracing() {
  std::lock_guard guard(lock_);
  if (hasBuffer_) on_.store(true, std::memory_order_relaxed);
}

void TTraceRecorder::StopTracing() {
  std::lock_guard guard(lock_);
  on_.store(false, std::memory_order_relaxed);
}

bool TTraceRecorder::HasTrace() const {
  std::lock_guard guard(lock_);
  return hasBuffer_;
}

void TTraceRecorder::StoreLocked(char kind, uint8_t byte) {
  // A trace of 0 entries records nothing.
  if (buffer_.empty()) return;
  buffer_[index_] = TTraceEntry{kind, byte};
  if (++index_ >= buffer_.size()) {
    index_ = 0;
    wrapped_ = true;
  }
}

void TTraceRecorder::AddTraceEntry(char kind, uint8_t byte) {
  std::lock_guard guard(lock_);
  StoreLocked(kind, byte);
}

void TTraceRecorder::AddTraceEntries(char kind, std::span<const uint8_t> bytes) {
  std::lock_guard guard(lock_);
  for (uint8_t b : bytes) StoreLocked(kind, b);
}

int32_t TTraceRecorder::DumpTrace(const std::string& fileName, bool inHex, bool allHex) {
  return DumpTracePrim(fileName, false, inHex, allHex);
}

int32_t TTraceRecorder::AppendTrace(const std::string& fileName, bool inHex, bool allHex) {
  return DumpTracePrim(fileName, true, inHex, allHex);
}

int32_t TTraceRecorder::DumpTracePrim(const std::string& fileName, bool appendFile, bool inHex,
                                      bool allHex) {
  std::lock_guard guard(lock_);
  if (!hasBuffer_) return ecOK;
  const std::size_t count = wrapped_ ? buffer_.size() : index_;
  if (count == 0) return ecOK;
  const std::size_t first = wrapped_ ? index_ : 0;

  TTextFile file;
  if (const int32_t rc = file.Open(fileName, appendFile); rc != ecOK) {
    AbortTracingLocked();
    return rc;
  }

  std::string text;
  text.reserve(2 * kTextChunk);
  TItemWriter items(text, inHex, allHex, 0, 0);
  char previous = 0;
  for (std::size_t i = 0; i < count && !file.Failed(); ++i) {
    const TTraceEntry& e = buffer_[(first + i) % buffer_.size()];
    if (i == 0 || e.kind != previous) {
      if (i != 0) {
        text += kLineEnd;
        text += kLineEnd;
      }
      text += Heading(e.kind);
      text += kLineEnd;
      items.StartCount(0);
      previous = e.kind;
    }
    items.PutByte(e.byte);
    if (text.size() >= kTextChunk) {
      file.Write(text);
      text.clear();
    }
  }
  text += kLineEnd;
  file.Write(text);
  const int32_t result = file.Close();

  InitTracing(static_cast<uint32_t>(buffer_.size()));
  return result;
}
