// Starting and stopping a device layer's background threads, alike for every
// device layer.
#include "serial/dispatcher/dispatcher.h"
#include "serial/dispatcher/dispatcher_thread.h"

namespace {
constexpr int kStartWaitMs = 3000;
constexpr int kDispStopWaitMs = 36 * 55;
}  // namespace

void TRivuBaseDispatcher::LaunchThreads(std::unique_ptr<TRivuDispatcherThread> Read,
                                        std::unique_ptr<TRivuDispatcherThread> Write,
                                        std::unique_ptr<TRivuDispatcherThread> Status) {
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
