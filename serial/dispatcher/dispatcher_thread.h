// Background thread objects of a dispatcher. Each runs its body once; the
// dispatcher joins it after it has reported its end through ThreadGone.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <thread>

class TRivuBaseDispatcher;

// How a dispatcher thread gets its system thread. Tests put in one that
// throws std::system_error, as a system out of threads or memory does.
using TThreadStarter = std::thread (*)(std::function<void()> Body);
// nullptr: std::thread itself.
void SetThreadStarter(TThreadStarter Starter);
// The dispatcher whose background thread calls this; nullptr on any other.
const TRivuBaseDispatcher* DispatcherOfThisThread();

class TRivuDispatcherThread {
 public:
  explicit TRivuDispatcherThread(TRivuBaseDispatcher& Dispatcher) : Dispatcher_(Dispatcher) {}
  TRivuDispatcherThread(const TRivuDispatcherThread&) = delete;
  TRivuDispatcherThread& operator=(const TRivuDispatcherThread&) = delete;
  virtual ~TRivuDispatcherThread();

  void Start();
  void RequestStop() { StopRequested_ = true; }
  // The dispatcher's reference to the thread: set from Start until ThreadGone.
  bool Running() const { return Running_.load(); }
  void MarkEnded() { Running_ = false; }
  bool IsCurrentThread() const { return Thread_.get_id() == std::this_thread::get_id(); }
  // Joins unless called on the thread itself.
  void Join();
  int32_t ReturnValue() const { return ReturnValue_.load(); }
  virtual bool IsDispatcherThread() const { return false; }
  // Shown by debuggers and `top -H`, so a user can tell who spends.
  virtual const char* Name() const = 0;

 protected:
  // The body; the end steps (ThreadGone) belong to Finish, which runs also
  // when the body throws.
  virtual void Execute() = 0;
  virtual void OnException(std::exception_ptr) {}
  virtual void Finish();
  bool StopRequested() const { return StopRequested_.load(); }
  void SetReturnValue(int32_t V) { ReturnValue_ = V; }

  TRivuBaseDispatcher& Dispatcher_;

 private:
  void Run();
  std::thread Thread_;
  std::atomic<bool> Running_{false};
  std::atomic<bool> StopRequested_{false};
  std::atomic<int32_t> ReturnValue_{0};
};

// Moves received bytes from the I/O queue into the dispatch buffer and
// delivers notifications.
class TDispThread : public TRivuDispatcherThread {
 public:
  using TRivuDispatcherThread::TRivuDispatcherThread;
  bool IsDispatcherThread() const override { return true; }
  const char* Name() const override { return "ComDisp"; }

 protected:
  void Execute() override;
  void OnException(std::exception_ptr E) override;
  void Finish() override;
};
