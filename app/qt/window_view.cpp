#include "app/qt/window_view.h"

#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <algorithm>
#include <limits>

#include "app/controls_logic.h"
#include "app/qt/form1.h"
#include "app/qt/qt_platform.h"
#include "app/qt/skin/memo.h"
#include "app/qt/skin/progress_bar.h"
#include "app/qt/skin/radio_group.h"

namespace {

int ToBar(int64_t value) {
  return ToProgress(value);
}

QString FromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TWindowView::TWindowView(TForm1& Form, std::function<void()> TaskEnded)
    : form_(Form), taskEnded_(std::move(TaskEnded)) {}

TWindowView::~TWindowView() {
  CancelPrompts();
}

template <class F>
auto TWindowView::Call(F f) -> decltype(f()) {
  using R = decltype(f());
  if (OnGuiThread()) return f();
  // The user-interface thread never waits for the task without running its
  // events, so this cannot deadlock.
  if constexpr (std::is_void_v<R>) {
    QMetaObject::invokeMethod(this, std::move(f), Qt::BlockingQueuedConnection);
  } else {
    R result{};
    QMetaObject::invokeMethod(
        this, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

template <class F>
void TWindowView::Post(F f) {
  QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void TWindowView::AddLine(std::string_view Line) {
  const QString line = FromView(Line);
  Call([&] { form_.Memo1->AddLine(line); });
}

void TWindowView::SetProgressPosition(int64_t Position) {
  Call([&] { form_.ProgressBar1->SetPosition(ToBar(Position)); });
}

void TWindowView::SetProgressMin(int64_t Min) {
  Call([&] { form_.ProgressBar1->SetMin(ToBar(Min)); });
}

void TWindowView::SetProgressMax(int64_t Max) {
  Call([&] { form_.ProgressBar1->SetMax(ToBar(Max)); });
}

void TWindowView::ProgressStepBy(int64_t Delta) {
  Call([&] { form_.ProgressBar1->StepBy(ToBar(Delta)); });
}

std::optional<ContentType> TWindowView::CheckedContentType() {
  return Call([&]() -> std::optional<ContentType> {
    const bool checked[] = {form_.TCN_RB->Checked(), form_.LOGO_RB->Checked(),
                            form_.DAT_RB->Checked(), form_.NET_RB->Checked()};
    return ::CheckedContentType(checked);
  });
}

void TWindowView::SetSaveFilter(std::string_view Filter, std::string_view DefaultExt) {
  const QString filter = FromView(Filter);
  const QString ext = FromView(DefaultExt);
  Call([&] {
    form_.SaveDialog1.Filter = filter;
    form_.SaveDialog1.DefaultExt = ext;
  });
}

void TWindowView::Complete(const std::shared_ptr<TPrompt>& Prompt, TMsgResult Result,
                           std::optional<std::string> Name) {
  std::lock_guard lock(Prompt->M);
  if (Prompt->Done) return;
  Prompt->Done = true;
  Prompt->Result = Result;
  Prompt->Name = std::move(Name);
  Prompt->Cv.notify_all();
}

void TWindowView::Await(TPrompt& Prompt) {
  if (OnGuiThread()) {
    // Not the task's way, but must not hang: run the loop until answered.
    for (;;) {
      {
        std::lock_guard lock(Prompt.M);
        if (Prompt.Done) return;
      }
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  }
  std::unique_lock lock(Prompt.M);
  Prompt.Cv.wait(lock, [&] { return Prompt.Done; });
}

TMsgResult TWindowView::MessageBox(std::string_view Text, std::string_view Caption,
                                   TMsgButtons Buttons) {
  auto prompt = std::make_shared<TPrompt>();
  Post([this, prompt, text = FromView(Text), caption = FromView(Caption), Buttons] {
    OpenMessageBox(prompt, text, caption, Buttons);
  });
  Await(*prompt);
  return prompt->Result;
}

void TWindowView::OpenMessageBox(const std::shared_ptr<TPrompt>& Prompt, const QString& Text,
                                 const QString& Caption, TMsgButtons Buttons) {
  if (closing_) return Complete(Prompt, TMsgResult::mrCancel);
  const QMessageBox::StandardButtons buttons =
      Buttons == TMsgButtons::mbOK ? QMessageBox::Ok : QMessageBox::Ok | QMessageBox::Cancel;
  auto owned = std::make_unique<QMessageBox>(QMessageBox::NoIcon, Caption, Text, buttons, &form_);
  QMessageBox* box = owned.get();
  box->setWindowModality(Qt::NonModal);
  connect(box, &QDialog::finished, this, [this, box, Prompt](int result) {
    if (box_ == box) box_ = nullptr;
    Complete(Prompt, result == QMessageBox::Ok ? TMsgResult::mrOk : TMsgResult::mrCancel);
    box->deleteLater();
  });
  box_ = box;
  pending_ = Prompt;
  box->show();
  owned.release();  // a child of the window; deletes itself once answered
}

std::optional<std::string> TWindowView::ExecuteSaveDialog(int FilterIndex, uint32_t Options) {
  auto prompt = std::make_shared<TPrompt>();
  Post([this, prompt, FilterIndex, Options] { OpenSaveDialog(prompt, FilterIndex, Options); });
  Await(*prompt);
  return prompt->Name;
}

void TWindowView::OpenSaveDialog(const std::shared_ptr<TPrompt>& Prompt, int FilterIndex,
                                 uint32_t Options) {
  if (closing_) return Complete(Prompt, TMsgResult::mrCancel);
  TSaveDialog& dialog = form_.SaveDialog1;
  dialog.FilterIndex = FilterIndex;
  dialog.Options = Options;
  pending_ = Prompt;
  dialog.Show(&form_, [this, Prompt](bool accepted) {
    if (!accepted) return Complete(Prompt, TMsgResult::mrCancel);
    // The name as the file system spells it.
    Complete(Prompt, TMsgResult::mrOk, QFile::encodeName(form_.SaveDialog1.FileName).toStdString());
  });
}

void TWindowView::RunTaskDone(std::function<void()> TaskDone) {
  // Queued behind the task's last calls; the task thread does not wait.
  Post([this, TaskDone = std::move(TaskDone)] {
    TaskDone();
    if (taskEnded_) taskEnded_();
  });
}

void TWindowView::CancelPrompts() {
  closing_ = true;
  if (box_) box_->reject();
  form_.SaveDialog1.Cancel();
  if (pending_) Complete(pending_, TMsgResult::mrCancel);
  pending_.reset();
}
