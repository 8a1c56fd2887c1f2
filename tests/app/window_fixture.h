// The main window against the box simulator: a pseudo-terminal linked as
// COM3 in a scratch links folder, a platform whose port prompt answers for the
// user, and waits that keep the event loop running.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QThread>
#include <atomic>
#include <chrono>
#include <memory>

#include "app/qt/form1.h"
#include "app/qt/qt_platform.h"
#include "app/qt/skin/memo.h"
#include "download/task_state.h"
#include "tests/serial/port_scratch.h"
#include "tools/boxsim/simulator.h"

namespace window_test {

using namespace std::chrono_literals;

// Runs the event loop until Pred holds; false at the deadline.
template <class TPred>
bool WaitFor(TPred Pred, std::chrono::milliseconds Deadline = 20s) {
  const auto end = std::chrono::steady_clock::now() + Deadline;
  while (!Pred()) {
    if (std::chrono::steady_clock::now() >= end) return Pred();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

// Types a name into the save dialog's file name field, as the user would.
inline void TypeFileName(QFileDialog& Dialog, const QString& Name) {
  auto* edit = Dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(edit, nullptr);
  edit->setText(Name);
}

// The Qt platform with the port prompt answered by the test.
class TTestPlatform : public TQtSerialPlatform {
 public:
  std::atomic<int> Answer{3};
  std::atomic<int> Prompts{0};
  int PromptForPort() override {
    ++Prompts;
    return Answer;
  }
};

// The window with escaped exceptions recorded instead of shown.
class TTestForm : public TForm1 {
 public:
  QStringList Shown;

 protected:
  void ShowException(const QString& message) override { Shown << message; }
};

// Short pauses: the exchange stays the same, only faster.
inline TTaskTimings FastTimings(std::chrono::milliseconds BeforePacket = 1ms) {
  TTaskTimings t;
  t.AfterGreeting = 1ms;
  t.BeforeRequestHeader = 5ms;
  t.BeforeResponseHeader = 5ms;
  t.BeforePacket = BeforePacket;
  t.BeforePacketOk = 1ms;
  return t;
}

// A box that sends as fast as the line takes it.
inline boxsim::BoxOptions Unpaced() {
  boxsim::BoxOptions options;
  options.baud = 0;
  return options;
}

class WindowTest : public ::testing::Test {
 protected:
  explicit WindowTest(boxsim::BoxOptions Options = Unpaced())
      : box_(std::make_unique<boxsim::BoxSimulator>(Options)) {
    SetPortMapConfig(scratch_.Config());
    scratch_.Link("com3", box_->SlavePath());
    SetSerialPlatform(&platform_);
    form_ = std::make_unique<TTestForm>();
    form_->UseTaskTimings(FastTimings());
  }
  ~WindowTest() override {
    form_.reset();
    SetSerialPlatform(nullptr);
    ResetPortMapConfig();
  }

  TTestForm& Form() { return *form_; }
  QStringList Lines() const { return form_->Memo1->Lines(); }
  bool LogHas(const QString& line) const { return form_->Memo1->Lines().contains(line); }
  bool TaskEnded() {
    return WaitFor([] { return !TaskRunning; });
  }

  port_scratch::TScratch scratch_;
  std::unique_ptr<boxsim::BoxSimulator> box_;
  TTestPlatform platform_;
  std::unique_ptr<TTestForm> form_;
};

}  // namespace window_test
