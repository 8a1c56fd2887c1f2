#include "app/form1_commands.h"

#include "app/form1_layout.h"
#include "app/graphics/glyph_data.h"
#include "app/graphics/glyph_streams.h"
#include "download/task_state.h"
#include "serial/errors/exceptions.h"
#include "serial/ports/port_holder.h"
#include "serial/ports/port_map.h"

TForm1Commands::TForm1Commands(TForm1Controls& Controls, TRivuComPort& Port, TDownloadView& View)
    : controls_(Controls), port_(Port), view_(View), link_(Port) {}

void TForm1Commands::InitPort() {
  port_.SetBaud(115200);
  port_.SetInSize(16384);
  port_.SetOutSize(16384);
  port_.SetRTS(false);
  port_.SetTraceName("RIVU.TRC");
  port_.SetTraceHex(false);
  port_.SetLogName("RIVU.LOG");
}

void TForm1Commands::SpeedButton1Click() {
  controls_.MemoClear();
  // The port decides, not the caption.
  if (port_.Open()) {
    Disconnect();
  } else {
    Connect();
  }
}

void TForm1Commands::Disconnect() {
  if (TaskRunning) {
    controls_.MemoSetText("Terminating Download task...");
    // Only asks; the task ends by itself, and TaskDone reports it.
    if (task_) task_->RequestStop();
  }
  // A task inside a port call meanwhile gets ECommNotOpen from here on.
  port_.SetOpen(false);
  controls_.MemoSetText("Port closed");
  SavedGlyphStream.SetPosition(0);
  controls_.ConnectGlyph().LoadFromStream(SavedGlyphStream);
  controls_.ConnectGlyphChanged();
  controls_.SetConnectCaption(Form1Layout::ConnectCaption);
}

void TForm1Commands::Connect() {
  port_.SetComNumber(0);  // so that opening asks for the port
  port_.SetBaud(115200);
  port_.SetDataBits(8);
  port_.SetStopBits(1);
  port_.SetParity(pNone);
  try {
    port_.SetOpen(true);
  } catch (const EAlreadyOpen& e) {
    // The error box names who holds the port, as the port dialog does.
    throw EAlreadyOpen(OpenFailureText(e, CurrentPortMap().PathOf(port_.ComNumber())));
  }
  controls_.MemoSetText("Port opened");
  // Both streams start afresh, so that they keep one picture each however
  // often the port is opened.
  SavedGlyphStream.Clear();
  controls_.ConnectGlyph().SaveToStream(SavedGlyphStream);
  ConnectedGlyphStream.Clear();
  ConnectedGlyphStream.Write(ConnectedGlyph.data(), ConnectedGlyph.size());
  ConnectedGlyphStream.SetPosition(0);
  controls_.ConnectGlyph().LoadFromStream(ConnectedGlyphStream);
  controls_.ConnectGlyphChanged();
  controls_.SetConnectCaption(Form1Layout::DisconnectCaption);
  port_.FlushInBuffer();
  port_.FlushOutBuffer();
}

void TForm1Commands::SpeedButton2Click() {
  controls_.MemoClear();
  if (!port_.Open()) {
    controls_.MemoSetText("Please, connect first");
    return;
  }
  if (TaskRunning) {
    controls_.MemoSetText("Task is already running!!!");
    return;
  }
  // Set here rather than by the task once it runs, so that no second Receive
  // can start a second task in between.
  TaskRunning = true;
  try {
    task_ = std::make_unique<UpThread>(link_, view_, timings_);
    task_->Start();
  } catch (...) {
    task_.reset();
    TaskRunning = false;
    throw;
  }
}

void TForm1Commands::EndTask() {
  if (!task_) return;
  task_->RequestStop();
  controls_.CancelPrompts();
  try {
    port_.SetOpen(false);  // wakes the task from any wait on the port
  } catch (...) {
    // Closing raises nothing the user could act on now; the port is gone.
  }
  // The task's last calls and its TaskDone arrive as events; TaskDone's
  // follow-up releases the task. User input waits until the window is gone.
  controls_.ProcessEventsUntil([this] { return !task_; });
}
