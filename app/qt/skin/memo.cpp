#include "app/qt/skin/memo.h"

#include <QScrollBar>
#include <QTextBlock>

#include "app/qt/skin/theme.h"

TSkinMemo::TSkinMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setUndoRedoEnabled(false);
  setFont(TSkinTheme::LogFont());
  setStyleSheet(TSkinTheme::MemoStyleSheet());
  QPalette pal = palette();
  pal.setColor(QPalette::Text, TSkinTheme::LogText());
  pal.setColor(QPalette::Base, TSkinTheme::Panel());
  setPalette(pal);
  // Greyed while there is nothing to scroll, like a native always-on bar.
  QScrollBar* bar = verticalScrollBar();
  bar->setEnabled(false);
  connect(bar, &QScrollBar::rangeChanged, bar,
          [bar](int min, int max) { bar->setEnabled(max > min); });
}

void TSkinMemo::Clear() {
  clear();
}

void TSkinMemo::SetText(const QString& text) {
  setPlainText(text);
}

QString TSkinMemo::Text() const {
  return toPlainText();
}

void TSkinMemo::AddLine(const QString& line) {
  appendPlainText(line);
  // appendPlainText follows the end only when the view was already there; the
  // scroll bar, unlike the text cursor, leaves the user's selection alone.
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->maximum());
}

QStringList TSkinMemo::Lines() const {
  QStringList lines;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) lines << b.text();
  if (lines.size() == 1 && lines.front().isEmpty()) lines.clear();
  return lines;
}
