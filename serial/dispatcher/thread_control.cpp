// Starting and stopping a device layer's background threads, alike for every
// device layer.
#include <stdexcept>
#include <thread>

#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/dispatcher_thread.h"

namespace {
constexpr int kStartWaitMs = 3000;
constexpr int kDispStopWaitMs = 36 * 55;
}  // namespace

void TRivuBaseDispatcher::LaunchThreads(const std::function<void()>& ClearSignals,
                                        std::unique_ptr<TRivuDispatcherThread> Read,
                                        std::unique_ptr<TRivuDispatcherThread> Write,
                                        std::unique_ptr<TRivuDispatcherThread> Status) {
  std::lock_guard Lock(DispLock);
  if (DispatcherActive) throw std::runtime_error("Dispatcher already started.");
  DispatcherActive = true;
  KillThreads = false;
  ClearSignals();
  ForgetFlushes();
  auto Launch = [this](std::unique_ptr<TRivuDispatcherThread>& Slot, auto Thread) {
    Slot = std::move(Thread);
    Slot->Start();
    GeneralEvent.Wait(kStartWaitMs);
  };
  Launch(ReadThread, std::move(Read));
  Launch(DispThread, std::make_unique<TDispThread>(*this));
  Launch(WriteThread, std::move(Write));
  Writer_ = WriteThread.get();
  Launch(StatusThread, std::move(Status));
}

bool TRivuBaseDispatcher::BeginClose(int32_t& Result) {
  const auto Me = std::this_thread::get_id();
  bool Expected = false;
  if (Closing.compare_exchange_strong(Expected, true)) {
    Closer_ = Me;
    return true;
  }
  Result = 0;
  // Inside the close itself, or on one of this port's own threads, which the
  // close under way may be waiting for: no waiting here.
  if (Closer_.load() == Me || DispatcherOfThisThread() == this) return false;
  // Another thread closes (the dispatcher thread after a device failure):
  // the port is closed once that close has ended, not before, so nothing
  // released after this call races the device's close.
  WaitProcessingEvents([this] { return !Closing.load(); }, -1);
  Result = LastCloseResult_.load();
  return false;
}

void TRivuBaseDispatcher::StopThreads(const TStopOne& StopOne) {
  if (!DispatcherActive) return;
  SetKillThreads();
  StopOne(TIoThread::Status, StatusThread.get());
  StopOne(TIoThread::Write, WriteThread.get());
  GeneralEvent.Reset();
  StopOne(TIoThread::Read, ReadThread.get());
  WaitDispThreadEnd();
}

int32_t TRivuBaseDispatcher::EndClose(int32_t Result) {
  LastCloseResult_ = Result;
  Closer_ = std::thread::id{};
  Closing = false;
  WakeWaiters();
  return Result;
}

int64_t TRivuBaseDispatcher::UnreadInput() {
  // Bytes move from the queue into the buffer under the input lock: none is
  // counted twice.
  std::lock_guard Lock(InLock);
  return QueuedBytes() + InBuffUsed();
}

bool TRivuBaseDispatcher::WaitThreadEnd(TRivuDispatcherThread* Thread, int TimeoutMs) {
  if (!Thread || Thread->IsCurrentThread()) return true;
  const bool Ended = WaitProcessingEvents([Thread] { return !Thread->Running(); }, TimeoutMs);
  if (Ended) Thread->Join();
  return Ended;
}

void TRivuBaseDispatcher::WaitDispThreadEnd() {
  // A handler on the dispatcher thread may still be waiting for a window of
  // this thread; give it time, then wait for good.
  if (!WaitThreadEnd(DispThread.get(), kDispStopWaitMs) &&
      !WaitThreadEnd(DispThread.get(), kDispStopWaitMs)) {
    WaitThreadEnd(DispThread.get(), -1);
  }
}
