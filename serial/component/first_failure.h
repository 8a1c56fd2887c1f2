// Runs steps that must all happen whatever the ones before them raised, and
// keeps the first exception for the end (a close, a change of port number).
#pragma once

#include <exception>

class TFirstFailure {
 public:
  template <class TStep>
  void Run(TStep&& Step) {
    try {
      Step();
    } catch (...) {
      if (!first_) first_ = std::current_exception();
    }
  }
  void Rethrow() const {
    if (first_) std::rethrow_exception(first_);
  }

 private:
  std::exception_ptr first_;
};
