// The controls the shared commands touch, and the end of a download when the
// window closes.
#include <QCloseEvent>
#include <QCoreApplication>

#include "app/qt/form1.h"
#include "app/qt/skin/memo.h"
#include "app/qt/skin/speed_button.h"
#include "app/qt/window_view.h"

void TForm1::SpeedButton1Click(QObject*) {
  commands_->SpeedButton1Click();
}

void TForm1::SpeedButton2Click(QObject*) {
  commands_->SpeedButton2Click();
}

void TForm1::closeEvent(QCloseEvent* event) {
  commands_->EndTask();
  QWidget::closeEvent(event);
}

void TForm1::MemoClear() {
  Memo1->Clear();
}

void TForm1::MemoSetText(std::string_view Text) {
  Memo1->SetText(QString::fromUtf8(Text.data(), qsizetype(Text.size())));
}

TBitmap& TForm1::ConnectGlyph() {
  return SpeedButton1->Glyph();
}

void TForm1::ConnectGlyphChanged() {
  SpeedButton1->GlyphChanged();
}

void TForm1::SetConnectCaption(std::string_view Caption) {
  SpeedButton1->SetCaption(QString::fromUtf8(Caption.data(), qsizetype(Caption.size())));
}

void TForm1::CancelPrompts() {
  view_->CancelPrompts();
}

void TForm1::ProcessEventsUntil(const std::function<bool()>& Done) {
  while (!Done()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                    QEventLoop::ExcludeUserInputEvents);
  }
}
