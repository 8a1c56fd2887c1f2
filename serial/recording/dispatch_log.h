// The dispatch log: timestamped events of the dispatcher (bytes read and
// written, notifications, handler and trigger changes, user strings), kept in
// a queue and written on demand as a table.
//
// Locking: entries are added and taken under the log's own queue lock, taken
// last, so any thread may log, whatever locks it holds. Dumps also take the
// dispatcher lock given to the constructor (re-entrant) for the whole write;
// entries being added wait only while one is taken off the queue.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// Largest size limit of the log, in bytes of entry data.
inline constexpr uint32_t kMaxLogSize = 16000000;

enum TDispatchType : uint8_t {
  dtNone = 0,
  dtDispatch = 1,
  dtTrigger = 2,
  dtError = 3,
  dtThread = 4,
  dtTriggerAlloc = 5,
  dtTriggerDispose = 6,
  dtTriggerHandlerAlloc = 7,
  dtTriggerHandlerDispose = 8,
  dtTriggerDataChange = 9,
  dtTelnet = 10,
  dtFax = 11,
  dtXModem = 12,
  dtYModem = 13,
  dtZModem = 14,
  dtKermit = 15,
  dtAscii = 16,
  dtBPlus = 17,
  dtPacket = 18,
  dtUser = 19,
  dtScript = 20,
};

// Values 0 to 256; those not named here belong to protocol components this
// system does not have, and show their message table texts.
enum TDispatchSubType : uint16_t {
  dstNone = 0,
  dstReadCom = 1,
  dstWriteCom = 2,
  dstLineStatus = 3,
  dstModemStatus = 4,
  dstAvail = 5,
  dstTimer = 6,
  dstData = 7,
  dstStatus = 8,
  dstThreadStart = 9,
  dstThreadExit = 10,
  dstThreadSleep = 11,
  dstThreadWake = 12,
  dstDataTrigger = 13,
  dstTimerTrigger = 14,
  dstStatusTrigger = 15,
  dstAvailTrigger = 16,
  dstWndHandler = 17,
  dstProcHandler = 18,
  dstEventHandler = 19,
  dstThreadStatusQueued = 252,
  dstThreadDataQueued = 253,
  dstThreadDataWritten = 254,
};

struct TLogBuffer {
  TDispatchType type = dtNone;
  TDispatchSubType subType = dstNone;
  uint32_t time = 0;  // ms since the time base
  uint32_t data = 0;  // byte count, trigger or window handle, length, ...
  std::vector<uint8_t> buffer;
};

class TDispatchLog {
 public:
  // A monotonic clock in milliseconds; tests pass their own.
  using TClock = std::function<int64_t()>;
  static int64_t SteadyMilliseconds();

  explicit TDispatchLog(std::recursive_mutex& dispatcherLock, TClock clock = SteadyMilliseconds);
  TDispatchLog(const TDispatchLog&) = delete;
  TDispatchLog& operator=(const TDispatchLog&) = delete;

  // Entry times count from the last call (the constructor makes the first);
  // the dispatcher calls it when the port opens.
  void ResetTimeBase();
  uint32_t GetDispatchTime() const;

  // Empties the log, sets the size limit (0: none) and switches logging on.
  void InitDispatchLogging(uint32_t size);
  void ClearDispatchLogging();
  // Logging off; the log is emptied.
  void AbortDispatchLogging();
  void StartDispatchLogging() { on_.store(true, std::memory_order_relaxed); }
  void StopDispatchLogging() { on_.store(false, std::memory_order_relaxed); }
  bool DLoggingOn() const noexcept { return on_.load(std::memory_order_relaxed); }

  // While logging is on: drops the oldest entries while the bytes of all
  // entries exceed a non-zero size limit, then records an entry with a copy
  // of `len` bytes from `buffer` (none when `buffer` is null).
  void AddDispatchEntry(TDispatchType type, TDispatchSubType subType, uint32_t data,
                        const void* buffer, uint32_t len);
  void AddStringToLog(std::string_view s);

  // Write the log as a table, oldest entry first, to a new file or appended
  // to an existing one, emptying it; `deviceName` goes into the header.
  // Empty log: 0 and no file. A file that cannot be opened: its negated
  // error, and nothing is taken off the log. A write or close error: its
  // negated code; the entries taken so far are gone.
  int32_t DumpDispatchLog(const std::string& fileName, bool inHex, bool allHex,
                          const std::string& deviceName);
  int32_t AppendDispatchLog(const std::string& fileName, bool inHex, bool allHex,
                            const std::string& deviceName);
  int32_t DumpDispatchLogPrim(const std::string& fileName, bool appendFile, bool inHex, bool allHex,
                              const std::string& deviceName);

  std::size_t EntryCount() const;
  uint64_t ByteTotal() const;

 private:
  bool PopOldest(TLogBuffer& entry);

  std::recursive_mutex& dispatcherLock_;
  TClock clock_;
  std::atomic<int64_t> timeBase_{0};
  std::atomic<bool> on_{false};

  mutable std::mutex queueLock_;
  std::deque<TLogBuffer> queue_;
  uint64_t byteTotal_ = 0;
  uint32_t sizeLimit_ = 0;
};

// One entry as its line(s) of the log table, CR LF at the end of each.
void FormatLogEntry(const TLogBuffer& entry, bool inHex, bool allHex, std::string& out);
