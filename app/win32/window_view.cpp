#include "app/win32/window_view.h"

#include <commdlg.h>

#include <condition_variable>
#include <memory>
#include <vector>

#include "app/controls_logic.h"
#include "app/win32/wide.h"

namespace {

struct TJob {
  std::function<void()> Run;
  std::mutex M;
  std::condition_variable Cv;
  bool Done = false;

  void Finish() {
    std::lock_guard lock(M);
    Done = true;
    Cv.notify_all();
  }
};

// "Description|pattern|..." as the system dialog wants it: pairs of
// zero-terminated strings, ended by an empty one.
std::wstring SystemFilter(std::string_view Filter) {
  std::wstring out = Wide(Filter);
  for (wchar_t& c : out)
    if (c == L'|') c = L'\0';
  out.push_back(L'\0');
  out.push_back(L'\0');
  return out;
}

}  // namespace

UINT ViewJobMessage() {
  static const UINT Msg = RegisterWindowMessageW(L"TAVO Zedazi view job");
  return Msg;
}

TWindowView::TWindowView(TViewWindow& Form, std::function<void()> TaskEnded)
    : form_(Form), taskEnded_(std::move(TaskEnded)), windowThread_(GetCurrentThreadId()) {}

void TWindowView::Post(std::function<void()> F, bool Wait) {
  auto job = std::make_shared<TJob>();
  job->Run = std::move(F);
  // The window holds one reference while the message is queued.
  auto* queued = new std::shared_ptr<TJob>(job);
  // No window is no target: a null one would post to this very thread, and
  // the wait would never end.
  const HWND wnd = form_.Handle();
  if (!wnd || !PostMessageW(wnd, ViewJobMessage(), 0, reinterpret_cast<LPARAM>(queued))) {
    delete queued;  // the window is gone: nothing to take effect on
    return;
  }
  if (!Wait) return;
  std::unique_lock lock(job->M);
  job->Cv.wait(lock, [&] { return job->Done; });
}

void TWindowView::RunJob(LPARAM Job, bool Run) {
  if (!Job) return;
  std::unique_ptr<std::shared_ptr<TJob>> queued(reinterpret_cast<std::shared_ptr<TJob>*>(Job));
  TJob& job = **queued;
  if (Run) job.Run();
  job.Finish();
}

void TWindowView::Call(std::function<void()> F) {
  if (GetCurrentThreadId() == windowThread_) return F();
  Post(std::move(F), true);
}

void TWindowView::AddLine(std::string_view Line) {
  Call([this, line = std::string(Line)] { form_.AddLine(line); });
}

void TWindowView::SetProgressPosition(int64_t Position) {
  Call([this, v = ToProgress(Position)] { form_.SetProgress(v, std::nullopt, std::nullopt); });
}

void TWindowView::SetProgressMin(int64_t Min) {
  Call([this, v = ToProgress(Min)] { form_.SetProgress(std::nullopt, v, std::nullopt); });
}

void TWindowView::SetProgressMax(int64_t Max) {
  Call([this, v = ToProgress(Max)] { form_.SetProgress(std::nullopt, std::nullopt, v); });
}

void TWindowView::ProgressStepBy(int64_t Delta) {
  Call([this, v = ToProgress(Delta)] { form_.ProgressStepBy(v); });
}

std::optional<ContentType> TWindowView::CheckedContentType() {
  std::optional<ContentType> checked;
  Call([&] { checked = form_.CheckedContentType(); });
  return checked;
}

TMsgResult TWindowView::MessageBox(std::string_view Text, std::string_view Caption,
                                   TMsgButtons Buttons) {
  if (closing_) return TMsgResult::mrCancel;
  promptThread_ = GetCurrentThreadId();
  const int answer =
      MessageBoxW(nullptr, Wide(Text).c_str(), Wide(Caption).c_str(),
                  (Buttons == TMsgButtons::mbOK ? MB_OK : MB_OKCANCEL) | MB_SETFOREGROUND);
  promptThread_ = 0;
  if (closing_) return TMsgResult::mrCancel;
  return answer == IDOK ? TMsgResult::mrOk : TMsgResult::mrCancel;
}

void TWindowView::SetSaveFilter(std::string_view Filter, std::string_view DefaultExt) {
  std::lock_guard lock(filterLock_);
  filter_ = SystemFilter(Filter);
  // The system adds it without the dot.
  defaultExt_ = Wide(DefaultExt.starts_with('.') ? DefaultExt.substr(1) : DefaultExt);
}

std::optional<std::string> TWindowView::ExecuteSaveDialog(int FilterIndex, uint32_t Options) {
  if (closing_) return std::nullopt;
  std::wstring filter, ext;
  {
    std::lock_guard lock(filterLock_);
    filter = filter_;
    ext = defaultExt_;
  }
  std::vector<wchar_t> name(32768, L'\0');
  std::vector<wchar_t> folder(MAX_PATH + 1, L'\0');
  // The dialog opens in the working folder, as a bare name is saved there.
  GetCurrentDirectoryW(DWORD(folder.size()), folder.data());
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = filter.size() > 2 ? filter.c_str() : nullptr;
  ofn.nFilterIndex = DWORD(FilterIndex);
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = DWORD(name.size());
  ofn.lpstrInitialDir = folder.data();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = Options;  // the task's options are the system dialog's own flags
  promptThread_ = GetCurrentThreadId();
  const BOOL chosen = GetSaveFileNameW(&ofn);
  promptThread_ = 0;
  if (!chosen || closing_) return std::nullopt;
  return Utf8(ofn.lpstrFile);
}

void TWindowView::RunTaskDone(std::function<void()> TaskDone) {
  // Queued behind the task's last calls; the task thread does not wait.
  Post(
      [this, TaskDone = std::move(TaskDone)] {
        TaskDone();
        if (taskEnded_) taskEnded_();
      },
      false);
}

void TWindowView::CancelPrompts() {
  closing_ = true;
  const DWORD thread = promptThread_;
  if (!thread) return;
  EnumThreadWindows(
      thread,
      [](HWND Wnd, LPARAM) -> BOOL {
        if (IsWindowVisible(Wnd)) PostMessageW(Wnd, WM_CLOSE, 0, 0);
        return TRUE;
      },
      0);
}
