// The save-file dialog: its settings are plain values set before each use.
#pragma once

#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "download/download_view.h"
class QWidget;

// Options, with the values of the system dialog the settings come from;
// ofEnableSizing (a resizable dialog) is the download task's.
inline constexpr uint32_t ofOverwritePrompt = 0x00000002;  // ask before replacing a file

// Turns "Description|pattern;pattern|..." pairs into the toolkit's name filters.
QStringList SaveDialogNameFilters(const QString& filter);

class TSaveDialog {
 public:
  TSaveDialog() = default;
  TSaveDialog(const TSaveDialog&) = delete;
  TSaveDialog& operator=(const TSaveDialog&) = delete;
  // A dialog still open goes with it, without running its Finished.
  ~TSaveDialog();

  QString Filter;       // description and pattern pairs separated by "|"
  QString DefaultExt;   // with its leading dot; added to a name typed without one
  int FilterIndex = 1;  // 1-based pair shown first; updated to the user's choice
  uint32_t Options = 0;
  QString FileName;  // the chosen name after a confirmed run

  // Shows the dialog on the calling (user-interface) thread and returns at
  // once: the dialog is modal to no window. Finished runs there when it
  // closes, with true when the user confirmed a file name (FileName and
  // FilterIndex are updated first). One dialog at a time.
  void Show(QWidget* parent, std::function<void(bool accepted)> Finished);
  // Closes a running dialog as if the user cancelled it.
  void Cancel();
  bool Running() const { return !running_.isNull(); }
  QFileDialog* Dialog() const { return running_; }

 private:
  QPointer<QFileDialog> running_;
};
