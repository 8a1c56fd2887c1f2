// What a dispatcher needs of the component that created it.
#pragma once

#include <cstdint>

class TDispatcherOwner {
 public:
  virtual ~TDispatcherOwner() = default;
  // The component's error check for a background thread's result: a negative
  // Code throws (a std::exception whose what() is the text to show), anything
  // else returns. Called on the ending thread; the dispatcher catches the
  // exception and shows its text through the platform, once per dispatcher.
  virtual void CheckThreadResult(int32_t Code) = 0;
};
