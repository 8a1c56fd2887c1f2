#include "serial/dispatcher/dispatcher_thread.h"

#include "serial/dispatcher/dispatcher.h"

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
  Running_ = true;
  Thread_ = std::thread([this] { Run(); });
}

void TRivuDispatcherThread::Join() {
  if (Thread_.joinable() && !IsCurrentThread()) Thread_.join();
}

void TRivuDispatcherThread::Run() {
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
