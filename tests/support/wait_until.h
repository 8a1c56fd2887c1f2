// Waits for a condition with a generous deadline, for tests on a loaded
// machine; sleeps between checks instead of spinning.
#pragma once

#include <chrono>
#include <thread>

template <class TPred>
bool WaitUntil(TPred Pred, std::chrono::milliseconds Deadline = std::chrono::seconds(20)) {
  const auto End = std::chrono::steady_clock::now() + Deadline;
  while (!Pred()) {
    if (std::chrono::steady_clock::now() >= End) return Pred();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
