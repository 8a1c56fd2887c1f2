// The download task: one run of the exchange with the box on a thread of its
// own, reporting through the view and saving the result at the end.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "download/download_port.h"
#include "download/download_view.h"
#include "download/protocol.h"

// The pauses and limits of a run. Programs use the defaults; tests may
// shorten them.
struct TTaskTimings {
  std::chrono::milliseconds AfterGreeting{50};
  std::chrono::milliseconds BeforeRequestHeader{550};
  std::chrono::milliseconds BeforeResponseHeader{520};
  std::chrono::milliseconds BeforePacket{750};
  std::chrono::milliseconds BeforePacketOk{320};
  std::chrono::seconds Level1Limit{10};
  std::chrono::seconds Level2Limit{5};
  // A block whose bytes stop arriving for this long is broken.
  std::chrono::milliseconds BlockSilence{1000};
  // A bad length field: what follows is drained until the line is this quiet,
  // or for this long at most.
  std::chrono::milliseconds DrainQuiet{200};
  std::chrono::milliseconds DrainLimit{3000};
  // Greetings whose first byte comes this soon after the request left were
  // on their way before the box could see it; a later one is its reply.
  std::chrono::milliseconds GreetingsInFlight{300};
};

// "%s %03d %s" of "Data packet ", the number and the ending.
std::string PacketLine(int32_t Number, bool Intact);

class UpThread {
 public:
  UpThread(TDownloadPort& Port, TDownloadView& View, TTaskTimings Timings = {});
  UpThread(const UpThread&) = delete;
  UpThread& operator=(const UpThread&) = delete;
  // Asks a running body to stop and waits for it.
  ~UpThread();

  // Starts the body on its own thread.
  void Start();
  // Only asks: the body notices at its next wait, loop pass or pause.
  void RequestStop();
  bool StopRequested() const { return stop_.stop_requested(); }
  // True once the body has ended (TaskDone may still be pending).
  bool Finished() const;
  void Join();

 private:
  struct EndRun {};
  enum class Block { Complete, Broken };
  enum class Packet { Intact, Damaged, End };

  void Run();
  void Execute();

  void Log(std::string_view line) { view_.AddLine(line); }
  void FlushBoth();
  void CheckStop();
  [[noreturn]] void Stop();
  [[noreturn]] void Abort();
  void Sleep(std::chrono::milliseconds pause);
  void Wait();
  TPortWait WaitUntil(uint32_t count, std::chrono::steady_clock::time_point deadline);
  Block WaitWhole(uint32_t count);
  Block TakeBlock(uint8_t* dest, uint32_t count);
  void PutWord(uint32_t word);
  void PutWords(uint32_t first, uint32_t second);
  void SkipGreetingRepeats();
  void DrainLine();
  bool WaitForBox();
  bool FindGreeting();
  HeaderBlock SendRequest();
  void ExchangeHeaders(const HeaderBlock& request, ResponseHeader& header);
  void ReceivePackets(std::vector<uint8_t>& content);
  Packet ReceiveOnePacket(std::vector<uint8_t>& content, int32_t packetNumber);
  [[noreturn]] void Refuse(const char* logLine, const char* boxText);
  void CleanUp();

  TDownloadPort& port_;
  TDownloadView& view_;
  const TTaskTimings timings_;
  std::stop_source stop_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable_any sleeper_;
  bool finished_ = false;
};
