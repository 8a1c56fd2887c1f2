// What the download task needs of the window. The desktop tool applies each
// call on its user-interface thread in the order issued; the command-line
// receiver and the tests implement it with plain code.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "download/content_type.h"

enum class TMsgButtons { mbOK, mbOKCancel };
enum class TMsgResult { mrOk, mrCancel };

// Save dialog options; the task only ever asks for a resizable dialog.
inline constexpr uint32_t ofEnableSizing = 0x00800000;

class TDownloadView {
 public:
  virtual ~TDownloadView() = default;

  // Appends a line to the log area and scrolls to it.
  virtual void AddLine(std::string_view Line) = 0;

  // The progress bar. Positions are not clamped to the range.
  virtual void SetProgressPosition(int64_t Position) = 0;
  virtual void SetProgressMin(int64_t Min) = 0;
  virtual void SetProgressMax(int64_t Max) = 0;
  virtual void ProgressStepBy(int64_t Delta) = 0;

  // The checked content-type radio button, if any.
  virtual std::optional<ContentType> CheckedContentType() = 0;

  // A message box that blocks the calling (task) thread until it is closed;
  // the main window stays usable meanwhile.
  virtual TMsgResult MessageBox(std::string_view Text, std::string_view Caption,
                                TMsgButtons Buttons) = 0;

  // The save dialog keeps its filter and default extension between runs.
  virtual void SetSaveFilter(std::string_view Filter, std::string_view DefaultExt) = 0;
  // Shows the save dialog (blocking the task thread only) and returns the
  // chosen name, with the default extension added when the user typed none;
  // nothing when cancelled.
  virtual std::optional<std::string> ExecuteSaveDialog(int FilterIndex, uint32_t Options) = 0;

  // Runs TaskDone on the user-interface thread once the task's body ended.
  virtual void RunTaskDone(std::function<void()> TaskDone) = 0;
};
