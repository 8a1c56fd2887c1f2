#include "download/up_thread.h"

#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "download/content_type.h"
#include "download/file_writer.h"
#include "download/request_header.h"
#include "download/task_state.h"

namespace {

using Clock = std::chrono::steady_clock;

// The content buffer grows as payloads arrive; a header announcing gigabytes
// must not reserve them up front.
constexpr std::size_t kInitialReserve = 1u << 20;

// How often a pause looks whether the port is still there.
constexpr std::chrono::milliseconds kLostPortLook{50};

// The port closed or failed under a wait: the run ends like on any failed
// port operation.
struct PortGone : std::exception {
  const char* what() const noexcept override { return "port closed"; }
};

// Whole-second limits: a limit is passed when the second count exceeds the
// start count by more than the limit, so a limit of L ends after L to L + 1 s.
Clock::time_point SecondsDeadline(std::chrono::seconds limit) {
  const auto start = std::chrono::floor<std::chrono::seconds>(Clock::now());
  return start + limit + std::chrono::seconds(1);
}

void TaskDone(TDownloadView& view) {
  TaskRunning = false;
  OutFile.Close();
  view.AddLine("Download task terminated!!!");
}

}  // namespace

std::string PacketLine(int32_t Number, bool Intact) {
  char line[64];
  std::snprintf(line, sizeof line, "%s %03d %s", "Data packet ", Number,
                Intact ? " ........... OK" : " ........... BAD!");
  return line;
}

UpThread::UpThread(TDownloadPort& Port, TDownloadView& View, TTaskTimings Timings)
    : port_(Port), view_(View), timings_(Timings) {}

UpThread::~UpThread() {
  RequestStop();
  Join();
}

void UpThread::Start() {
  thread_ = std::thread([this] { Run(); });
}

void UpThread::RequestStop() {
  stop_.request_stop();
}

bool UpThread::Finished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

void UpThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void UpThread::Run() {
  // Whatever ends the body, it ends silently; TaskDone reports the end.
  try {
    Execute();
  } catch (...) {
  }
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  view_.RunTaskDone([&view = view_] { TaskDone(view); });
}

void UpThread::Execute() {
  pthread_setname_np(pthread_self(), "DownThread");
  TaskRunning = true;
  std::fill_n(WordBuffer.begin(), kWordSize, 0);
  FlushBoth();
  Log("Waiting for STB...");

  std::vector<uint8_t> content;
  try {
    if (!WaitForBox()) {
      Log("Level 1: Timeout!!!");
    } else if (!FindGreeting()) {
      Abort();
    }
    const HeaderBlock request = SendRequest();
    ResponseHeader header{};
    ExchangeHeaders(request, header);

    const uint32_t total = ResponseTotalLength(header);
    content.reserve(std::min<std::size_t>(total, kInitialReserve));
    view_.SetProgressPosition(0);
    view_.SetProgressMin(0);
    view_.SetProgressMax(total);

    ReceivePackets(content);
    Wait();
    TakeBlock(WordBuffer.data(), kWordSize);  // the final word is not used
    Log("Communication END OK ...");
    SaveReceivedFile(view_, header, content);
  } catch (const EndRun&) {
  }
  CleanUp();
}

void UpThread::CleanUp() {
  OutFile.Close();
  view_.SetProgressPosition(0);
  if (!StopRequested()) FlushBoth();
}

void UpThread::FlushBoth() {
  port_.FlushInBuffer();
  port_.FlushOutBuffer();
}

void UpThread::CheckStop() {
  if (StopRequested()) Stop();
}

void UpThread::Stop() {
  throw EndRun{};
}

void UpThread::Abort() {
  throw EndRun{};
}

void UpThread::Sleep(std::chrono::milliseconds pause) {
  // A stop cuts the pause short and ends the run there, so nothing more
  // reaches the box once a stop was asked for. So does a port that fails
  // meanwhile (an adapter pulled out): the run ends at once, not after the
  // pause. The port is looked at in slices; it has no wake-up for this.
  const auto deadline = Clock::now() + pause;
  for (;;) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) break;
    {
      std::unique_lock lock(mutex_);
      sleeper_.wait_for(lock, stop_.get_token(), std::min<Clock::duration>(left, kLostPortLook),
                        [] { return false; });
    }
    CheckStop();
    if (port_.PortLost()) throw PortGone{};
  }
  CheckStop();
}

TPortWait UpThread::WaitUntil(uint32_t count, Clock::time_point deadline) {
  const TPortWait result = port_.WaitForData(count, deadline, stop_.get_token());
  if (result == TPortWait::Stopped) Stop();
  if (result == TPortWait::Closed) throw PortGone{};
  return result;
}

void UpThread::Wait() {
  for (;;) {
    if (port_.CharReady()) return;
    CheckStop();
    WaitUntil(1, Clock::time_point::max());
  }
}

UpThread::Block UpThread::WaitWhole(uint32_t count) {
  for (;;) {
    const uint32_t have = port_.InBuffUsed();
    if (have >= count) return Block::Complete;
    // Bytes still arriving keep the block alive; a silent line breaks it.
    if (WaitUntil(have + 1, Clock::now() + timings_.BlockSilence) == TPortWait::TimedOut) {
      return Block::Broken;
    }
  }
}

UpThread::Block UpThread::TakeBlock(uint8_t* dest, uint32_t count) {
  if (WaitWhole(count) == Block::Broken) return Block::Broken;
  port_.GetBlock(dest, static_cast<uint16_t>(count));
  return Block::Complete;
}

bool UpThread::WaitForBox() {
  const auto deadline = SecondsDeadline(timings_.Level1Limit);
  for (;;) {
    if (port_.CharReady()) return true;
    CheckStop();
    if (Clock::now() >= deadline) return false;
    WaitUntil(1, deadline);
  }
}

bool UpThread::FindGreeting() {
  const auto deadline = SecondsDeadline(timings_.Level2Limit);
  for (;;) {
    CheckStop();
    if (port_.CharReady()) {
      uint8_t byte = 0;
      port_.GetBlock(&byte, 1);
      if (byte != kGreeting[0]) continue;
      Sleep(timings_.AfterGreeting);
      // The two bytes after the 4B are looked at once both have arrived.
      while (port_.InBuffUsed() < 2) {
        if (WaitUntil(2, deadline) == TPortWait::TimedOut) {
          Log("Level 2: Timeout!!!");
          return false;
        }
      }
      uint8_t next[2];
      port_.PeekBlock(next, 2);
      return next[0] == kGreeting[1] && next[1] == kGreeting[2];
    }
    if (Clock::now() >= deadline) {
      Log("Level 2: Timeout!!!");
      return false;
    }
    WaitUntil(1, deadline);
  }
}

HeaderBlock UpThread::SendRequest() {
  // This flush drops what the box sent before it could see the request (the
  // rest of its greeting, repeats, junk). Once the word is on its way nothing
  // may be flushed: a quick box's reply may already be in.
  FlushBoth();
  const std::optional<ContentType> type = view_.CheckedContentType();
  HeaderBlock request;
  if (type) {
    const ContentTypeInfo& info = Describe(*type);
    view_.SetSaveFilter(info.saveFilter, info.defaultExtension);
    request = RequestHeader::Instance().Apply(type);
  } else {
    request = RequestHeader::Instance().Bytes();
  }
  PutWord(UpRequestWord(type));
  Log("Initializing Download task...");
  SkipGreetingRepeats();
  Wait();
  if (TakeBlock(WordBuffer.data(), kWordSize) == Block::Broken ||
      UnpackWord(WordBuffer.data()) != UP_ACCEPTED) {
    Refuse("Bad STB response! Aborting...", "Bad STB response! Aborting ...");
  }
  return request;
}

void UpThread::SkipGreetingRepeats() {
  // Greetings already on their way when the request left arrive before the
  // reply: whole ones, and first the tail of one the flush cut. Only those
  // are taken; anything else is left for the reply. What was on its way is
  // what came before the window closed: the bytes buffered then. A box that
  // greets on after that did not take the request, and its greeting is the
  // reply, a refusal.
  const auto windowEnd = Clock::now() + timings_.GreetingsInFlight;
  std::optional<uint32_t> inFlight;  // set when the window closes, less what was taken since
  const auto closeWindow = [&] {
    if (!inFlight && Clock::now() >= windowEnd) inFlight = port_.InBuffUsed();
  };
  for (bool first = true;; first = false) {
    // The wait is cut at the window's end, so the count taken there holds
    // only what came inside it.
    for (closeWindow(); !inFlight && !port_.CharReady(); closeWindow()) WaitUntil(1, windowEnd);
    if (inFlight == 0u) return;
    Wait();
    uint8_t next[kGreeting.size()];
    port_.PeekBlock(next, 1);
    const auto at = std::find(kGreeting.begin(), kGreeting.end(), next[0]);
    if (at == kGreeting.end() || (at != kGreeting.begin() && !first)) return;
    const auto count = static_cast<uint32_t>(kGreeting.end() - at);
    if (WaitWhole(count) == Block::Broken) return;
    port_.PeekBlock(next, static_cast<uint16_t>(count));
    if (!std::equal(at, kGreeting.end(), next)) return;
    port_.GetBlock(next, static_cast<uint16_t>(count));
    if (inFlight) *inFlight -= std::min(*inFlight, count);
  }
}

void UpThread::ExchangeHeaders(const HeaderBlock& request, ResponseHeader& header) {
  FlushBoth();
  Sleep(timings_.BeforeRequestHeader);
  port_.PutBlock(request.data(), static_cast<uint16_t>(request.size()));
  Wait();
  if (TakeBlock(WordBuffer.data(), kWordSize) == Block::Broken ||
      UnpackWord(WordBuffer.data()) != HEADER_ACCEPTED) {
    Refuse("STB rejected request! Aborting...", "STB rejected request! Aborting ...");
  }
  Sleep(timings_.BeforeResponseHeader);
  Wait();
  if (TakeBlock(header.data(), kHeaderSize) == Block::Broken || !ResponseHeaderAccepted(header)) {
    Refuse("STB rejected request! Aborting...", "STB rejected request! Aborting ...");
  }
}

void UpThread::Refuse(const char* logLine, const char* boxText) {
  Log(logLine);
  view_.MessageBox(boxText, "Error", TMsgButtons::mbOK);
  Abort();
}

void UpThread::PutWord(uint32_t word) {
  PackWord(WordBuffer.data(), word);
  port_.PutBlock(WordBuffer.data(), kWordSize);
}

void UpThread::PutWords(uint32_t first, uint32_t second) {
  uint8_t words[2 * kWordSize];
  PackWord(words, first);
  PackWord(words + kWordSize, second);
  PackWord(WordBuffer.data(), second);
  port_.PutBlock(words, sizeof words);
}

void UpThread::ReceivePackets(std::vector<uint8_t>& content) {
  int32_t packetNumber = 0;
  for (;;) {
    CheckStop();
    for (int failures = 0;;) {
      const Packet packet = ReceiveOnePacket(content, packetNumber);
      if (packet == Packet::End) return;
      if (packet == Packet::Intact) {
        ++packetNumber;
        break;
      }
      FlushBoth();
      if (++failures < 3) {
        PutWord(PACKET_REPEAT);
        Log(PacketLine(packetNumber, false));
        continue;
      }
      // The abort leaves with the repeat, before a quick box starts sending
      // the packet again; the log line must not hold it back.
      PutWords(PACKET_REPEAT, TRANSFER_ABORT);
      Log(PacketLine(packetNumber, false));
      Log("Too many error!!! Aborting...");
      break;
    }
  }
}

UpThread::Packet UpThread::ReceiveOnePacket(std::vector<uint8_t>& content, int32_t packetNumber) {
  Wait();
  if (TakeBlock(WordBuffer.data(), kWordSize) == Block::Broken) return Packet::Damaged;
  const uint32_t length = UnpackWord(WordBuffer.data());
  if (length == END_MARKER) return Packet::End;
  if (length < kMinPacketLength || length > kMaxPacketLength) {
    // Not a length this side can take: let the rest of the broken packet pass,
    // then ask for it again.
    DrainLine();
    return Packet::Damaged;
  }
  Sleep(timings_.BeforePacket);
  Wait();
  uint8_t* packet = WordBuffer.data() + kWordSize;
  if (TakeBlock(packet, length) == Block::Broken) return Packet::Damaged;
  if (!PacketIntact({packet, length})) return Packet::Damaged;

  const uint32_t payload = length - 4;
  content.insert(content.end(), packet, packet + payload);
  view_.ProgressStepBy(payload);
  Sleep(timings_.BeforePacketOk);
  PutWord(PACKET_OK);
  Log(PacketLine(packetNumber, true));
  return Packet::Intact;
}

void UpThread::DrainLine() {
  // The rest of a broken packet is one frame at most. A line still busy after
  // that many bytes, or after the limit, is not bringing it; the packet is
  // asked for again all the same.
  const auto deadline = Clock::now() + timings_.DrainLimit;
  uint64_t drained = 0;
  for (;;) {
    drained += port_.InBuffUsed();
    port_.FlushInBuffer();
    const auto now = Clock::now();
    if (drained > kWordSize + kMaxPacketLength || now >= deadline) return;
    if (WaitUntil(1, std::min(now + timings_.DrainQuiet, deadline)) == TPortWait::TimedOut) return;
  }
}
