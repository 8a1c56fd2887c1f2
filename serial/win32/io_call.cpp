#include "serial/win32/io_call.h"

#include <algorithm>
#include <mutex>

namespace {

struct TKept {
  std::mutex M;
  std::vector<std::unique_ptr<TIoCall>> Calls;

  void Sweep() {
    std::erase_if(Calls, [](const auto& C) { return C->Ended(); });
  }
  ~TKept() {
    // At the process's end a call still under way keeps its memory: the
    // driver may write into it until the very last moment.
    for (auto& C : Calls) {
      if (!C->Ended()) static_cast<void>(C.release());
    }
  }
};

TKept& Kept() {
  static TKept K;
  return K;
}

}  // namespace

TIoCall::TIoCall() : Event(windev::MakeEvent(true)) {}

OVERLAPPED& TIoCall::Begin() {
  Ov = OVERLAPPED{};
  Ov.hEvent = Event.Get();
  ::ResetEvent(Ov.hEvent);
  return Ov;
}

void KeepUntilEnded(std::unique_ptr<TIoCall> Call) {
  auto& K = Kept();
  std::lock_guard Lock(K.M);
  K.Sweep();
  if (Call && !Call->Ended()) K.Calls.push_back(std::move(Call));
}

size_t CallsKept() {
  auto& K = Kept();
  std::lock_guard Lock(K.M);
  K.Sweep();
  return K.Calls.size();
}
