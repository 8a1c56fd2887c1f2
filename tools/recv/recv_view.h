// The download task's view for the command line: log lines on stdout,
// message boxes as "Caption: text" on stderr, a progress bar on stderr when
// it is a terminal, and the output file named on the command line.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "download/download_view.h"

class TRecvView : public TDownloadView {
 public:
  TRecvView(ContentType Type, std::string Output, bool ShowProgress);

  void AddLine(std::string_view Line) override;
  void SetProgressPosition(int64_t Position) override;
  void SetProgressMin(int64_t Min) override;
  void SetProgressMax(int64_t Max) override;
  void ProgressStepBy(int64_t Delta) override;
  std::optional<ContentType> CheckedContentType() override { return type_; }
  TMsgResult MessageBox(std::string_view Text, std::string_view Caption,
                        TMsgButtons Buttons) override;
  void SetSaveFilter(std::string_view Filter, std::string_view DefaultExt) override;
  std::optional<std::string> ExecuteSaveDialog(int FilterIndex, uint32_t Options) override;
  void RunTaskDone(std::function<void()> TaskDone) override;

  // Waits until TaskDone has run, or until nothing has happened for Idle
  // (zero: no limit); true when the task is done.
  bool WaitDone(std::chrono::seconds Idle);

  // What became of the run.
  bool SaveReached() const;
  bool FileError() const;
  const std::string& SavedName() const { return savedName_; }

 private:
  void Touch();
  void DrawProgress();
  void EndProgressLine();

  const ContentType type_;
  const std::string output_;
  const bool showProgress_;
  std::string defaultExt_;
  std::string savedName_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::chrono::steady_clock::time_point lastActivity_;
  bool done_ = false;
  bool saveReached_ = false;
  bool fileError_ = false;
  bool progressShown_ = false;
  int64_t position_ = 0, min_ = 0, max_ = 0;
};
