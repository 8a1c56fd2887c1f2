// The download task's view on the main window. Log lines, progress and the
// radio buttons are carried to the user-interface thread by a blocking queued
// call, so they take effect in the order issued before the task goes on. The
// message boxes and the save dialog open there modal to no window, so the
// window stays usable, while the task thread waits for their answer.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "download/download_view.h"
class TForm1;

class TWindowView : public QObject, public TDownloadView {
  Q_OBJECT
 public:
  // TaskEnded runs on the user-interface thread right after the task's
  // TaskDone; the task object may be destroyed there.
  TWindowView(TForm1& Form, std::function<void()> TaskEnded);
  ~TWindowView() override;

  void AddLine(std::string_view Line) override;
  void SetProgressPosition(int64_t Position) override;
  void SetProgressMin(int64_t Min) override;
  void SetProgressMax(int64_t Max) override;
  void ProgressStepBy(int64_t Delta) override;
  std::optional<ContentType> CheckedContentType() override;
  TMsgResult MessageBox(std::string_view Text, std::string_view Caption,
                        TMsgButtons Buttons) override;
  void SetSaveFilter(std::string_view Filter, std::string_view DefaultExt) override;
  std::optional<std::string> ExecuteSaveDialog(int FilterIndex, uint32_t Options) override;
  void RunTaskDone(std::function<void()> TaskDone) override;

  // User-interface thread, when the window goes: closes an open message box or
  // save dialog as cancelled and answers every later one with cancel at once.
  void CancelPrompts();
  // The task's message box while one is open.
  QMessageBox* OpenBox() const { return box_; }

 private:
  struct TPrompt {
    std::mutex M;
    std::condition_variable Cv;
    bool Done = false;
    TMsgResult Result = TMsgResult::mrCancel;
    std::optional<std::string> Name;
  };

  template <class F>
  auto Call(F f) -> decltype(f());
  template <class F>
  void Post(F f);
  void Complete(const std::shared_ptr<TPrompt>& Prompt, TMsgResult Result,
                std::optional<std::string> Name = std::nullopt);
  void Await(TPrompt& Prompt);
  void OpenMessageBox(const std::shared_ptr<TPrompt>& Prompt, const QString& Text,
                      const QString& Caption, TMsgButtons Buttons);
  void OpenSaveDialog(const std::shared_ptr<TPrompt>& Prompt, int FilterIndex, uint32_t Options);

  TForm1& form_;
  std::function<void()> taskEnded_;
  // User-interface thread only.
  bool closing_ = false;
  QPointer<QMessageBox> box_;
  std::shared_ptr<TPrompt> pending_;
};
