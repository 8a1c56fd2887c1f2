// Whether an object is being restored from its stored description. Errors
// are then returned instead of raised, so a restore never stops half-way.
#pragma once

#include <atomic>

class TRivuLoadState {
 public:
  bool Loading() const { return loading_.load(std::memory_order_acquire); }
  void SetLoading(bool loading) { loading_.store(loading, std::memory_order_release); }

 private:
  // Read by background threads that end while the owner restores the object.
  std::atomic<bool> loading_{false};
};
