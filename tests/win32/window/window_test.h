// What the Win32 window tests share: waits that run the thread's messages,
// a task thread, and the message boxes and dialogs other threads open.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "app/win32/windows_api.h"
#include "tests/win32/window_texts.h"

namespace window_test {

using namespace std::chrono_literals;

// Runs this thread's messages until Done holds; false after 20 s.
inline bool WaitFor(const std::function<bool()>& Done) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!Done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
  return true;
}

// The top-level window of class Class (no dialog box when empty) titled
// Title once one shows, from any thread; null after 20 s.
inline HWND AwaitWindow(const wchar_t* Class, const wchar_t* Title) {
  HWND found = nullptr;
  WaitFor([&] { return (found = window_texts::TopLevel(Class, Title)) != nullptr; });
  return found;
}
// A dialog box (class #32770): a message box, a system dialog.
inline HWND AwaitDialog(const wchar_t* Title) {
  return AwaitWindow(L"#32770", Title);
}

// Ends the test program when a step hangs: a wait that never returns cannot
// fail by itself.
class TWatchdog {
 public:
  explicit TWatchdog(const char* What) : what_(What), thread_([this] { Watch(); }) {}
  ~TWatchdog() {
    {
      std::lock_guard lock(m_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }

 private:
  void Watch() {
    std::unique_lock lock(m_);
    if (cv_.wait_for(lock, 25s, [this] { return done_; })) return;
    std::fprintf(stderr, "FAILED: %s hung\n", what_);
    std::fflush(stderr);
    std::_Exit(1);
  }
  const char* what_;
  std::mutex m_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

// A thread of its own, as the download task is; joined by the destructor.
class TTaskThread {
 public:
  ~TTaskThread() {
    if (thread_.joinable()) thread_.join();
  }
  template <class F>
  auto Run(F Body) {
    auto job = std::make_shared<std::packaged_task<decltype(Body())()>>(std::move(Body));
    auto result = job->get_future();
    thread_ = std::thread([job] { (*job)(); });
    return result;
  }
  // The result, while this thread runs its messages; the thread has ended.
  template <class T>
  T Get(std::future<T>& F) {
    if (!WaitFor([&] { return F.wait_for(0s) == std::future_status::ready; })) {
      // Its thread still uses the test's objects: nothing can go on.
      std::fprintf(stderr, "FAILED: the task thread did not end\n");
      std::fflush(stderr);
      std::_Exit(1);
    }
    thread_.join();
    return F.get();
  }

 private:
  std::thread thread_;
};

}  // namespace window_test
