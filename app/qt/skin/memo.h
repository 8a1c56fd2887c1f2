// The read-only log area: the user can select and copy, not edit.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>

class TSkinMemo : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TSkinMemo(QWidget* parent = nullptr);

  void Clear();
  // Replaces the whole text; adds no line break.
  void SetText(const QString& text);
  QString Text() const;
  // Appends a new last line and scrolls so that it is visible.
  void AddLine(const QString& line);
  QStringList Lines() const;
};
