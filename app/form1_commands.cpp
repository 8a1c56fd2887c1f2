// The two commands of the main window and the end of a download when the
// window closes.
#include <QCloseEvent>
#include <QCoreApplication>

#include "app/form1.h"
#include "app/graphics/glyph_data.h"
#include "app/graphics/glyph_streams.h"
#include "app/skin/memo.h"
#include "app/skin/speed_button.h"
#include "app/window_view.h"
#include "download/task_state.h"

void TForm1::SpeedButton1Click(QObject*) {
  Memo1->Clear();
  // The port decides, not the caption.
  if (RivuComPort1.Open()) {
    Disconnect();
  } else {
    Connect();
  }
}

void TForm1::Disconnect() {
  if (TaskRunning) {
    Memo1->SetText(QStringLiteral("Terminating Download task..."));
    // Only asks; the task ends by itself, and TaskDone reports it.
    if (task_) task_->RequestStop();
  }
  // A task inside a port call meanwhile gets ECommNotOpen from here on.
  RivuComPort1.SetOpen(false);
  Memo1->SetText(QStringLiteral("Port closed"));
  SavedGlyphStream.SetPosition(0);
  SpeedButton1->Glyph().LoadFromStream(SavedGlyphStream);
  SpeedButton1->GlyphChanged();
  SpeedButton1->SetCaption(QStringLiteral(" Connect"));
}

void TForm1::Connect() {
  RivuComPort1.SetComNumber(0);  // so that opening asks for the port
  RivuComPort1.SetBaud(115200);
  RivuComPort1.SetDataBits(8);
  RivuComPort1.SetStopBits(1);
  RivuComPort1.SetParity(pNone);
  RivuComPort1.SetOpen(true);
  Memo1->SetText(QStringLiteral("Port opened"));
  // Both streams start afresh, so that they keep one picture each however
  // often the port is opened.
  SavedGlyphStream.Clear();
  SpeedButton1->Glyph().SaveToStream(SavedGlyphStream);
  ConnectedGlyphStream.Clear();
  ConnectedGlyphStream.Write(ConnectedGlyph.data(), ConnectedGlyph.size());
  ConnectedGlyphStream.SetPosition(0);
  SpeedButton1->Glyph().LoadFromStream(ConnectedGlyphStream);
  SpeedButton1->GlyphChanged();
  SpeedButton1->SetCaption(QStringLiteral(" DisCnct"));
  RivuComPort1.FlushInBuffer();
  RivuComPort1.FlushOutBuffer();
}

void TForm1::SpeedButton2Click(QObject*) {
  Memo1->Clear();
  if (!RivuComPort1.Open()) {
    Memo1->SetText(QStringLiteral("Please, connect first"));
    return;
  }
  if (TaskRunning) {
    Memo1->SetText(QStringLiteral("Task is already running!!!"));
    return;
  }
  // Set here rather than by the task once it runs, so that no second Receive
  // can start a second task in between.
  TaskRunning = true;
  try {
    task_ = std::make_unique<UpThread>(link_, *view_, timings_);
    task_->Start();
  } catch (...) {
    task_.reset();
    TaskRunning = false;
    throw;
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  EndTask();
  QWidget::closeEvent(event);
}

void TForm1::EndTask() {
  if (!task_) return;
  task_->RequestStop();
  view_->CancelPrompts();
  try {
    RivuComPort1.SetOpen(false);  // wakes the task from any wait on the port
  } catch (...) {
    // Closing raises nothing the user could act on now; the port is gone.
  }
  // The task's last calls and its TaskDone arrive as events; TaskDone's
  // follow-up releases the task. User input waits until the window is gone.
  while (task_) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                    QEventLoop::ExcludeUserInputEvents);
  }
}
