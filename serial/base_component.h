// Base of the serial port component.
#pragma once

#include <atomic>

class TRivuBaseComponent {
 public:
  // True while the component is being restored from its stored description;
  // errors are then returned instead of raised, so a restore never stops
  // half-way.
  bool Loading() const { return loading_.load(std::memory_order_acquire); }
  void SetLoading(bool loading) { loading_.store(loading, std::memory_order_release); }

 private:
  // Read by background threads that end while the owner restores the component.
  std::atomic<bool> loading_{false};
};
