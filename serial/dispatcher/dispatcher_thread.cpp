#include "serial/dispatcher/dispatcher_thread.h"

#include "serial/dispatcher/dispatcher.h"

namespace {
std::atomic<TThreadStarter> Starter{nullptr};
thread_local const TRivuBaseDispatcher* ThisThreadsDispatcher = nullptr;
}  // namespace

void SetThreadStarter(TThreadStarter S) {
  Starter = S;
}

TRivuDispatcherThread::~TRivuDispatcherThread() {
  if (Thread_.joinable()) {
    if (IsCurrentThread()) {
      Thread_.detach();
    } else {
      Thread_.join();
    }
  }
}

void TRivuDispatcherThread::Start() {
  // Set before the thread runs, as it may end before Start returns; a thread
  // the system would not give leaves nothing for a close to wait for.
  Running_ = true;
  try {
    const TThreadStarter S = Starter.load();
    Thread_ = S ? S([this] { Run(); }) : std::thread([this] { Run(); });
  } catch (...) {
    Running_ = false;
    throw;
  }
}

void TRivuDispatcherThread::Join() {
  if (Thread_.joinable() && !IsCurrentThread()) Thread_.join();
}

const TRivuBaseDispatcher* DispatcherOfThisThread() {
  return ThisThreadsDispatcher;
}

void TRivuDispatcherThread::Run() {
  ThisThreadsDispatcher = &Dispatcher_;
  Dispatcher_.NameThread(Name());
  try {
    Execute();
  } catch (...) {
    OnException(std::current_exception());
  }
  Finish();
}

void TRivuDispatcherThread::Finish() {
  Dispatcher_.ThreadGone(this);
}

void TDispThread::Execute() {
  Dispatcher_.ThreadStart();
  SetReturnValue(Dispatcher_.RunDispatcherThread());
}

void TDispThread::OnException(std::exception_ptr E) {
  std::string Text = "Unknown error in the dispatcher thread";
  try {
    std::rethrow_exception(E);
  } catch (const std::exception& Ex) {
    Text = Ex.what();
  } catch (...) {
  }
  Dispatcher_.Platform().ShowBackgroundError(Text);
  // Without its dispatcher thread the port would go quiet for good: stop
  // every thread so that the port reads as closed.
  Dispatcher_.SetKillThreads();
}

void TDispThread::Finish() {
  Dispatcher_.EndDispatcherThread();
  TRivuDispatcherThread::Finish();
}
