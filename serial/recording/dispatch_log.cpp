#include "serial/recording/dispatch_log.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>

#include "serial/errors/error_codes.h"
#include "serial/errors/message_lookup.h"
#include "serial/errors/message_table.h"
#include "serial/recording/byte_items.h"
#include "serial/recording/system_info.h"
#include "serial/recording/text_file.h"

namespace {

constexpr const char* kLogTitle = "RIVU ";
constexpr const char* kLogVersion = "v4.07";
constexpr std::size_t kTextChunk = 512;
// The fixed columns of an entry line take 44 characters; item lines continue
// under them.
constexpr int kContinuationIndent = 44;
constexpr int kItemColumnBase = 45;

constexpr const char* kStatusTriggerKinds[] = {
    "(Not active)",         "(Modem status)",       "(Line status)",
    "(Output buffer free)", "(Output buffer used)", "(Output sent)",
};

std::string Message(int32_t number) {
  return RivuLoadStr(static_cast<int16_t>(number));
}

std::string TimeText(uint32_t ms) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%.7u", ms);
  std::string text(digits);
  text.insert(text.size() - 3, 1, '.');
  return text;
}

std::string ModemStatusTags(uint32_t status) {
  std::string tags;
  for (int bit = 0; bit < 8; ++bit) {
    if (status & (1u << bit)) tags += Message(RivuModemStatusTagMessageBase + bit);
  }
  if (!tags.empty() && tags.back() == ' ') tags.pop_back();
  return "(" + tags + ")";
}

void WriteHeader(TTextFile& file, const std::string& deviceName) {
  std::string text;
  text += std::string(kLogTitle) + kLogVersion + kLineEnd;
  text += "Compiler : " + CompilerText() + kLineEnd;
  text += "Operating System : " + OperatingSystemText() + kLineEnd;
  text += "Device: " + deviceName + kLineEnd;
  text += "Date/time: " + LocalTimeText(std::time(nullptr)) + kLineEnd;
  text += Message(RivuLogHeaderMessage) + kLineEnd;
  text += Message(RivuLogRuleMessage) + kLineEnd;
  file.Write(text);
}

}  // namespace

void FormatLogEntry(const TLogBuffer& entry, bool inHex, bool allHex, std::string& out) {
  const std::string typeText = Message(RivuDispatchTypeMessageBase + entry.type);
  const std::string subTypeText = entry.subType == dstNone
                                      ? std::string()
                                      : Message(RivuDispatchSubTypeMessageBase + entry.subType);
  char head[3 * 256 + 64];
  // Upper-case hex, as in every other column of the log and the trace.
  std::snprintf(head, sizeof head, "%8s  %-8s  %-12s  %.8X  ", TimeText(entry.time).c_str(),
                typeText.c_str(), subTypeText.c_str(), entry.data);
  out += head;

  if (!entry.buffer.empty()) {
    const bool statusTrigger = (entry.type == dtTriggerAlloc || entry.type == dtTriggerDispose) &&
                               entry.subType == dstStatusTrigger;
    if (statusTrigger) {
      const uint8_t kind = entry.buffer[0];
      if (kind < std::size(kStatusTriggerKinds)) out += kStatusTriggerKinds[kind];
    } else {
      TItemWriter items(out, inHex, allHex, kContinuationIndent, kItemColumnBase);
      items.StartCount(kItemColumnBase);
      // User strings stay readable in an all-hex log.
      const bool plain = allHex && entry.type == dtUser;
      for (uint8_t b : entry.buffer) {
        if (plain) {
          items.PutPlain(b);
        } else {
          items.PutByte(b);
        }
      }
    }
    if (entry.subType == dstModemStatus) out += ModemStatusTags(entry.data);
  }
  out += kLineEnd;
}

int64_t TDispatchLog::SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TDispatchLog::TDispatchLog(std::recursive_mutex& dispatcherLock, TClock clock)
    : dispatcherLock_(dispatcherLock), clock_(std::move(clock)) {
  ResetTimeBase();
}

void TDispatchLog::ResetTimeBase() {
  timeBase_.store(clock_(), std::memory_order_relaxed);
}

uint32_t TDispatchLog::GetDispatchTime() const {
  return static_cast<uint32_t>(clock_() - timeBase_.load(std::memory_order_relaxed));
}

void TDispatchLog::InitDispatchLogging(uint32_t size) {
  {
    std::lock_guard guard(queueLock_);
    queue_.clear();
    byteTotal_ = 0;
    sizeLimit_ = size;
  }
  on_.store(true, std::memory_order_relaxed);
}

void TDispatchLog::ClearDispatchLogging() {
  std::lock_guard guard(queueLock_);
  queue_.clear();
  byteTotal_ = 0;
}

void TDispatchLog::AbortDispatchLogging() {
  on_.store(false, std::memory_order_relaxed);
  ClearDispatchLogging();
}

void TDispatchLog::AddDispatchEntry(TDispatchType type, TDispatchSubType subType, uint32_t data,
                                    const void* buffer, uint32_t len) {
  if (!DLoggingOn()) return;
  TLogBuffer entry{type, subType, GetDispatchTime(), data, {}};
  if (buffer != nullptr && len != 0) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    entry.buffer.assign(bytes, bytes + len);
  }
  std::lock_guard guard(queueLock_);
  while (sizeLimit_ != 0 && byteTotal_ > sizeLimit_ && !queue_.empty()) {
    byteTotal_ -= queue_.front().buffer.size();
    queue_.pop_front();
  }
  byteTotal_ += entry.buffer.size();
  queue_.push_back(std::move(entry));
}

void TDispatchLog::AddStringToLog(std::string_view s) {
  AddDispatchEntry(dtUser, dstNone, 0, s.data(), static_cast<uint32_t>(s.size()));
}

std::size_t TDispatchLog::EntryCount() const {
  std::lock_guard guard(queueLock_);
  return queue_.size();
}

uint64_t TDispatchLog::ByteTotal() const {
  std::lock_guard guard(queueLock_);
  return byteTotal_;
}

bool TDispatchLog::PopOldest(TLogBuffer& entry) {
  std::lock_guard guard(queueLock_);
  if (queue_.empty()) return false;
  entry = std::move(queue_.front());
  queue_.pop_front();
  byteTotal_ -= entry.buffer.size();
  return true;
}

int32_t TDispatchLog::DumpDispatchLog(const std::string& fileName, bool inHex, bool allHex,
                                      const std::string& deviceName) {
  return DumpDispatchLogPrim(fileName, false, inHex, allHex, deviceName);
}

int32_t TDispatchLog::AppendDispatchLog(const std::string& fileName, bool inHex, bool allHex,
                                        const std::string& deviceName) {
  return DumpDispatchLogPrim(fileName, true, inHex, allHex, deviceName);
}

int32_t TDispatchLog::DumpDispatchLogPrim(const std::string& fileName, bool appendFile, bool inHex,
                                          bool allHex, const std::string& deviceName) {
  // Entries that arrive during the dump wait for the next one, so a busy
  // port cannot keep a dump going for ever.
  const std::size_t count = EntryCount();
  if (count == 0) return ecOK;

  std::lock_guard guard(dispatcherLock_);
  TTextFile file;
  if (const int32_t rc = file.Open(fileName, appendFile); rc != ecOK) return rc;
  WriteHeader(file, deviceName);

  std::string text;
  text.reserve(2 * kTextChunk);
  TLogBuffer entry;
  for (std::size_t i = 0; i < count && !file.Failed() && PopOldest(entry); ++i) {
    FormatLogEntry(entry, inHex, allHex, text);
    if (text.size() >= kTextChunk) {
      file.Write(text);
      text.clear();
    }
  }
  file.Write(text);
  return file.Close();
}
