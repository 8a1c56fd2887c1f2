// The serial component's platform on Qt.
#include "app/qt/qt_platform.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>
#include <thread>

#include "serial/ui/com_select_form.h"
#include "tests/app/window_fixture.h"

namespace {

using namespace window_test;

TEST(QtSerialPlatform, PostedMessagesRunOnTheWindowThreadInOrder) {
  TQtSerialPlatform platform;
  std::vector<uint32_t> seen;
  bool elsewhere = false;
  auto window = platform.CreateNotifyWindow([&](uint32_t Msg, uintptr_t, intptr_t) -> intptr_t {
    elsewhere |= !OnGuiThread();
    seen.push_back(Msg);
    return 0;
  });
  std::thread poster([&] {
    for (uint32_t i = 0; i < 100; ++i) window->Post(i, 0, 0);
  });
  poster.join();
  EXPECT_TRUE(seen.empty());  // nothing runs until the loop does
  platform.ProcessPendingEvents();
  ASSERT_EQ(seen.size(), 100u);
  for (uint32_t i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
  EXPECT_FALSE(elsewhere);
}

TEST(QtSerialPlatform, WaitingOnAPortRunsOnlyThePortsOwnMessages) {
  TQtSerialPlatform platform;
  QObject elsewhere;
  std::vector<std::string> ran;
  auto window = platform.CreateNotifyWindow([&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
    ran.push_back("port");
    return 0;
  });
  QMetaObject::invokeMethod(
      &elsewhere, [&] { ran.push_back("window update"); }, Qt::QueuedConnection);
  window->Post(1, 0, 0);
  // A close waiting for its threads must not run the download's updates.
  platform.ProcessPendingEvents();
  EXPECT_EQ(ran, std::vector<std::string>{"port"});
  QCoreApplication::processEvents();
  EXPECT_EQ(ran, (std::vector<std::string>{"port", "window update"}));
}

TEST(QtSerialPlatform, SendWaitsForTheResultOrGivesUpAtTheTimeout) {
  TQtSerialPlatform platform;
  int calls = 0;
  auto window = platform.CreateNotifyWindow([&](uint32_t Msg, uintptr_t W, intptr_t L) {
    ++calls;
    return intptr_t(Msg + W + L);
  });
  intptr_t result = 0;
  EXPECT_TRUE(window->Send(1, 2, 3, 0, &result));  // on its own thread: at once
  EXPECT_EQ(result, 6);

  bool sent = false;
  std::thread sender([&] { sent = window->Send(10, 20, 30, 60000, &result); });
  EXPECT_TRUE(WaitFor([&] { return calls == 2; }));
  sender.join();
  EXPECT_TRUE(sent);
  EXPECT_EQ(result, 60);

  // Nobody runs the loop: the sender gives up, and the message never runs.
  std::thread late([&] { sent = window->Send(1, 0, 0, 50, &result); });
  late.join();
  EXPECT_FALSE(sent);
  platform.ProcessPendingEvents();
  EXPECT_EQ(calls, 2);
}

TEST(QtSerialPlatform, AMessageForAWindowAlreadyGoneDoesNothing) {
  TQtSerialPlatform platform;
  int calls = 0;
  auto window = platform.CreateNotifyWindow([&](uint32_t, uintptr_t, intptr_t) {
    ++calls;
    return intptr_t{0};
  });
  std::thread([&] { window->Post(1, 0, 0); }).join();
  window.reset();
  platform.ProcessPendingEvents();
  EXPECT_EQ(calls, 0);
}

TEST(QtSerialPlatform, BackgroundFailureShowsTheErrorBoxWithoutBlockingItsThread) {
  TQtSerialPlatform platform;
  std::thread([&] { platform.ShowBackgroundError("ie_Read - device read failure"); }).join();
  QMessageBox* box = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
    return box != nullptr;
  }));
  EXPECT_EQ(box->text(), "ie_Read - device read failure.");
  EXPECT_EQ(box->windowTitle(), "TAVO Zedazi V1.30");
  EXPECT_EQ(box->icon(), QMessageBox::Critical);
  box->accept();
}

class PortPromptTest : public ::testing::Test {
 protected:
  PortPromptTest() {
    SetPortMapConfig(scratch_.Config());
    scratch_.Link("com2", pty2_.Path());
    scratch_.Link("com7", pty7_.Path());
  }
  ~PortPromptTest() override { ResetPortMapConfig(); }

  // Answers the port dialog once it is up.
  void Answer(std::function<void(TComSelectForm&)> Act) {
    QTimer::singleShot(0, [Act] {
      auto* form = qobject_cast<TComSelectForm*>(QApplication::activeModalWidget());
      ASSERT_NE(form, nullptr);
      Act(*form);
    });
  }

  port_scratch::TScratch scratch_;
  port_scratch::TPty pty2_, pty7_;
  TQtSerialPlatform platform_;
};

TEST_F(PortPromptTest, OkGivesTheSelectedNumberAndCancelGivesNone) {
  Answer([](TComSelectForm& f) {
    f.PortsComboBox.setCurrentIndex(f.PortsComboBox.findText("COM7"));
    f.OkBtn.click();
  });
  EXPECT_EQ(platform_.PromptForPort(), 7);
  Answer([](TComSelectForm& f) { f.AbortBtn.click(); });
  EXPECT_EQ(platform_.PromptForPort(), 0);
  Answer([](TComSelectForm& f) { f.reject(); });
  EXPECT_EQ(platform_.PromptForPort(), 0);
}

TEST_F(PortPromptTest, OkWithNoPortListedRaisesTheConversionError) {
  ResetPortMapConfig();
  port_scratch::TScratch empty;
  SetPortMapConfig(empty.Config());
  Answer([](TComSelectForm& f) { f.OkBtn.click(); });
  EXPECT_THROW(platform_.PromptForPort(), EConvertError);
}

}  // namespace
