// The save-file dialog: its settings are plain values set before each use.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

enum TSaveOption : unsigned {
  ofOverwritePrompt = 1u << 0,  // ask before replacing an existing file
  ofEnableSizing = 1u << 1,     // resizable dialog
};

// Turns "Description|pattern;pattern|..." pairs into the toolkit's name filters.
QStringList SaveDialogNameFilters(const QString& filter);

class TSaveDialog {
 public:
  QString Filter;       // description and pattern pairs separated by "|"
  QString DefaultExt;   // with its leading dot; added to a name typed without one
  int FilterIndex = 1;  // 1-based pair shown first; updated to the user's choice
  unsigned Options = 0;
  QString FileName;  // the chosen name after a confirmed run

  // Runs the dialog on the calling (user-interface) thread and waits for it while
  // the application goes on processing events: the dialog is not modal to any
  // window. True when the user confirmed a file name.
  bool Execute(QWidget* parent = nullptr);
  // Closes a running dialog as if the user cancelled it.
  void Cancel();

 private:
  QPointer<QFileDialog> running_;
};
