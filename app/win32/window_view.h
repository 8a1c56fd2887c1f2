// The download task's view on the Win32 window. Log lines, progress and the
// radio buttons are posted to the window's thread as jobs the task waits for,
// so they take effect in the order issued before the task goes on. The
// message boxes and the save dialog run on the task thread itself, owned by
// no window, so the main window stays usable while the task waits for them.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "app/win32/windows_api.h"
#include "download/download_view.h"

// What the view drives on the window, on the window's thread. The window's
// procedure hands each ViewJobMessage to TWindowView::RunJob.
class TViewWindow {
 public:
  virtual HWND Handle() const = 0;
  virtual void AddLine(const std::string& Line) = 0;
  virtual void SetProgress(std::optional<int> Position, std::optional<int> Min,
                           std::optional<int> Max) = 0;
  virtual void ProgressStepBy(int Delta) = 0;
  virtual std::optional<ContentType> CheckedContentType() const = 0;

 protected:
  ~TViewWindow() = default;
};

// The window message that carries a view job; its LPARAM is the job. A
// registered number: no other sender uses it.
UINT ViewJobMessage();

class TWindowView : public TDownloadView {
 public:
  // TaskEnded runs on the window's thread right after the task's TaskDone.
  TWindowView(TViewWindow& Form, std::function<void()> TaskEnded);

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

  // Window's thread, when the window goes: closes an open message box or save
  // dialog as cancelled and answers every later one with cancel at once.
  // Repeating it closes one that opened in between.
  void CancelPrompts();
  bool Closing() const { return closing_; }

  // The window procedure's part: runs the job of a kViewJobMessage, or, when
  // the window is going, only releases its waiter.
  static void RunJob(LPARAM Job, bool Run);

 private:
  // Runs F on the window's thread and waits for it; at once when called there.
  void Call(std::function<void()> F);
  void Post(std::function<void()> F, bool Wait);

  TViewWindow& form_;
  std::function<void()> taskEnded_;
  DWORD windowThread_;
  std::atomic<bool> closing_{false};
  std::atomic<DWORD> promptThread_{0};  // the thread whose box or dialog is open
  std::mutex filterLock_;
  std::wstring filter_, defaultExt_;
};
