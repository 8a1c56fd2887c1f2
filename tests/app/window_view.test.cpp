// The download task's view: calls from the task thread take effect on the
// window in order; message boxes and the save dialog leave the window usable.
#include "app/qt/window_view.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <future>
#include <limits>
#include <thread>

#include "app/qt/skin/progress_bar.h"
#include "app/qt/skin/radio_group.h"
#include "app/qt/skin/speed_button.h"
#include "tests/app/window_fixture.h"
#include "tests/serial/temp_folder.h"

namespace {

using namespace window_test;

class WindowViewTest : public ::testing::Test {
 protected:
  ~WindowViewTest() override {
    if (task.joinable()) task.join();
  }
  // Runs Body on a thread of its own, as the task would.
  template <class F>
  auto OnTask(F Body) {
    auto job = std::make_shared<std::packaged_task<decltype(Body())()>>(std::move(Body));
    auto result = job->get_future();
    task = std::thread([job] { (*job)(); });
    return result;
  }
  template <class T>
  T Get(std::future<T>& f) {
    EXPECT_TRUE(WaitFor([&] { return f.wait_for(0s) == std::future_status::ready; }));
    task.join();
    return f.get();
  }

  TTestForm form;
  std::thread task;
};

TEST_F(WindowViewTest, LinesAndProgressArriveInOrderAndHaveTakenEffectOnReturn) {
  form.DAT_RB->click();
  auto done = OnTask([&] {
    TDownloadView& view = form.View();
    view.SetProgressMax(400);
    for (int i = 0; i < 200; ++i) {
      view.AddLine("line " + std::to_string(i));
      view.ProgressStepBy(2);
    }
    view.SetProgressMax(int64_t{1} << 40);  // beyond the bar's range: saturates
    return view.CheckedContentType();
  });
  EXPECT_EQ(Get(done), ContentType::ctData);
  const QStringList lines = form.Memo1->Lines();
  ASSERT_EQ(lines.size(), 200);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(lines[i], QString("line %1").arg(i));
  EXPECT_EQ(form.ProgressBar1->Position(), 400);
  EXPECT_EQ(form.ProgressBar1->Max(), std::numeric_limits<int>::max());
}

TEST_F(WindowViewTest, MessageBoxBlocksOnlyTheTaskAndGivesTheButtonPressed) {
  for (auto [buttons, press, expected] :
       {std::tuple{TMsgButtons::mbOK, QMessageBox::Ok, TMsgResult::mrOk},
        std::tuple{TMsgButtons::mbOKCancel, QMessageBox::Cancel, TMsgResult::mrCancel}}) {
    auto answer = OnTask([&, buttons = buttons] {
      return form.View().MessageBox("Problem writing to file.", "File Error", buttons);
    });
    ASSERT_TRUE(WaitFor([&] { return form.View().OpenBox() != nullptr; }));
    QMessageBox* box = form.View().OpenBox();
    EXPECT_EQ(box->text(), "Problem writing to file.");
    EXPECT_EQ(box->windowTitle(), "File Error");
    EXPECT_FALSE(box->isModal());
    // The window goes on working meanwhile.
    form.SpeedButton2->click();
    EXPECT_EQ(form.Memo1->Text(), "Please, connect first");
    EXPECT_NE(answer.wait_for(0s), std::future_status::ready);
    box->button(press)->click();
    EXPECT_EQ(Get(answer), expected);
  }
}

TEST_F(WindowViewTest, SaveDialogShowsTheFiltersAndAddsTheDefaultExtension) {
  TTempFolder folder;
  const std::pair<const char*, const char*> rows[] = {
      {"list", "list.tcn"}, {"list.bin", "list.bin"}, {".hidden", ".hidden.tcn"}, {"", ""}};
  for (const auto& [typed, saved] : rows) {
    auto name = OnTask([&] {
      form.View().SetSaveFilter("Tavo channels files (*.tcn)|*.TCN|All files (*.*)|*.*", ".tcn");
      return form.View().ExecuteSaveDialog(1, ofEnableSizing);
    });
    ASSERT_TRUE(WaitFor([&] { return form.SaveDialog1.Running(); }));
    QFileDialog* dialog = form.SaveDialog1.Dialog();
    EXPECT_FALSE(dialog->isModal());
    EXPECT_TRUE(dialog->isSizeGripEnabled());
    EXPECT_EQ(dialog->nameFilters(),
              QStringList({"Tavo channels files (*.TCN)", "All files (*.*)"}));
    EXPECT_EQ(dialog->selectedNameFilter(), "Tavo channels files (*.TCN)");
    if (*typed) {
      TypeFileName(*dialog, QString::fromStdString(folder.File(typed)));
      static_cast<QDialog*>(dialog)->accept();  // the dialog's own is protected
      EXPECT_EQ(Get(name), folder.File(saved)) << typed;
    } else {
      dialog->reject();
      EXPECT_EQ(Get(name), std::nullopt);
    }
  }
}

TEST_F(WindowViewTest, CancelPromptsAnswersTheOpenOneAndEveryLaterOne) {
  auto first = OnTask([&] { return form.View().MessageBox("a", "Error", TMsgButtons::mbOK); });
  ASSERT_TRUE(WaitFor([&] { return form.View().OpenBox() != nullptr; }));
  form.View().CancelPrompts();
  EXPECT_EQ(Get(first), TMsgResult::mrCancel);
  auto later = OnTask([&] { return form.View().ExecuteSaveDialog(1, 0); });
  EXPECT_EQ(Get(later), std::nullopt);
  EXPECT_FALSE(form.SaveDialog1.Running());
}

TEST_F(WindowViewTest, TaskDoneRunsOnTheWindowThreadAfterTheLastLine) {
  std::thread::id ranOn;
  QStringList linesAtDone;
  auto posted = OnTask([&] {
    form.View().AddLine("last");
    form.View().RunTaskDone([&] {
      ranOn = std::this_thread::get_id();
      linesAtDone = form.Memo1->Lines();
    });
    return true;
  });
  EXPECT_TRUE(Get(posted));  // returns without waiting for TaskDone
  ASSERT_TRUE(WaitFor([&] { return ranOn != std::thread::id(); }));
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(linesAtDone, QStringList{"last"});
}

}  // namespace
