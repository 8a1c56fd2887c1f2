// The trace: the last N bytes the user's reads took and writes queued, each
// tagged with its kind, written on demand as a text file.
//
// Locking: every operation takes the lock given to the constructor, the
// dispatcher lock (re-entrant, so a caller that already holds it may call in).
// Dumps hold it while the file is written, so entries wait meanwhile. Callers
// holding the input lock may add entries; the dispatcher must therefore never
// take the input lock while holding this one.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

// Largest trace, in entries.
inline constexpr uint32_t kMaxTraceEntries = 4000000;

// Trace kinds of the data operations; any other character is a user's kind.
inline constexpr char kTraceReceive = 'R';
inline constexpr char kTraceTransmit = 'T';

class TTraceRecorder {
 public:
  explicit TTraceRecorder(std::recursive_mutex& dispatcherLock) : lock_(dispatcherLock) {}
  TTraceRecorder(const TTraceRecorder&) = delete;
  TTraceRecorder& operator=(const TTraceRecorder&) = delete;

  // With a trace present: empties it (its size stays). Otherwise makes an
  // empty trace of `numEntries` (-1002 above kMaxTraceEntries, -8 when memory
  // is short). Tracing is then on. Returns 0 or the error.
  int32_t InitTracing(uint32_t numEntries);
  int32_t ClearTracing();
  // Tracing off; the trace is released.
  void AbortTracing();
  // Tracing on, when a trace exists.
  void StartTracing();
  // Tracing off; the entries stay.
  void StopTracing();

  // Whether the data operations record their bytes; read without the lock so
  // their hot path pays nothing while tracing is off.
  bool TracingOn() const noexcept { return on_.load(std::memory_order_relaxed); }

  // Records one entry when a trace exists (on or paused).
  void AddTraceEntry(char kind, uint8_t byte);
  // Records a block of one kind under a single lock.
  void AddTraceEntries(char kind, std::span<const uint8_t> bytes);

  // Write the entries, oldest first, to a new file or appended to an existing
  // one, then restart an empty trace with tracing on. Nothing recorded: 0 and
  // no file. A file that cannot be opened: its negated error, and the trace
  // is discarded. A write or close error: its negated code.
  int32_t DumpTrace(const std::string& fileName, bool inHex, bool allHex);
  int32_t AppendTrace(const std::string& fileName, bool inHex, bool allHex);
  int32_t DumpTracePrim(const std::string& fileName, bool appendFile, bool inHex, bool allHex);

  bool HasTrace() const;

 private:
  struct TTraceEntry {
    char kind;
    uint8_t byte;
  };

  void AbortTracingLocked();
  void StoreLocked(char kind, uint8_t byte);

  std::recursive_mutex& lock_;
  std::atomic<bool> on_{false};
  bool hasBuffer_ = false;
  std::vector<TTraceEntry> buffer_;  // trace max = its size
  uint32_t index_ = 0;
  bool wrapped_ = false;
};
