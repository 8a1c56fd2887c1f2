#include "tools/recv/recv_view.h"

#include <cstdio>

#include "download/file_writer.h"

TRecvView::TRecvView(ContentType Type, std::string Output, bool ShowProgress)
    : type_(Type),
      output_(std::move(Output)),
      showProgress_(ShowProgress),
      lastActivity_(std::chrono::steady_clock::now()) {}

void TRecvView::Touch() {
  lastActivity_ = std::chrono::steady_clock::now();
  changed_.notify_all();
}

void TRecvView::EndProgressLine() {
  if (!progressShown_) return;
  std::fputs("\r\033[K", stderr);
  progressShown_ = false;
}

void TRecvView::AddLine(std::string_view Line) {
  std::lock_guard lock(mutex_);
  EndProgressLine();
  std::fwrite(Line.data(), 1, Line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  Touch();
  DrawProgress();
}

void TRecvView::DrawProgress() {
  if (!showProgress_ || max_ <= min_ || position_ <= min_) return;
  const double share = double(position_ - min_) / double(max_ - min_);
  constexpr int kWidth = 30;
  const int filled = std::min(kWidth, int(share * kWidth));
  char bar[kWidth + 1];
  for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kWidth] = '\0';
  std::fprintf(stderr, "\r[%s] %3d%%  %lld / %lld bytes", bar, int(share * 100),
               static_cast<long long>(position_ - min_), static_cast<long long>(max_ - min_));
  std::fflush(stderr);
  progressShown_ = true;
}

void TRecvView::SetProgressPosition(int64_t Position) {
  std::lock_guard lock(mutex_);
  position_ = Position;
  Touch();
  if (position_ <= min_) EndProgressLine();
  DrawProgress();
}

void TRecvView::SetProgressMin(int64_t Min) {
  std::lock_guard lock(mutex_);
  min_ = Min;
}

void TRecvView::SetProgressMax(int64_t Max) {
  std::lock_guard lock(mutex_);
  max_ = Max;
}

void TRecvView::ProgressStepBy(int64_t Delta) {
  std::lock_guard lock(mutex_);
  position_ += Delta;
  Touch();
  DrawProgress();
}

TMsgResult TRecvView::MessageBox(std::string_view Text, std::string_view Caption, TMsgButtons) {
  std::lock_guard lock(mutex_);
  EndProgressLine();
  std::fprintf(stderr, "%.*s: %.*s\n", int(Caption.size()), Caption.data(), int(Text.size()),
               Text.data());
  if (Caption == "File Error") fileError_ = true;
  Touch();
  return TMsgResult::mrOk;
}

void TRecvView::SetSaveFilter(std::string_view, std::string_view DefaultExt) {
  std::lock_guard lock(mutex_);
  defaultExt_ = DefaultExt;
}

std::optional<std::string> TRecvView::ExecuteSaveDialog(int, uint32_t) {
  std::lock_guard lock(mutex_);
  saveReached_ = true;
  savedName_ = WithDefaultExt(output_, defaultExt_);
  Touch();
  return savedName_;
}

void TRecvView::RunTaskDone(std::function<void()> TaskDone) {
  // No user-interface thread here: the end of the run is reported at once.
  TaskDone();
  std::lock_guard lock(mutex_);
  done_ = true;
  changed_.notify_all();
}

bool TRecvView::WaitDone(std::chrono::seconds Idle) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (done_) return true;
    if (Idle.count() == 0) {
      changed_.wait(lock);
      continue;
    }
    const auto until = lastActivity_ + Idle;
    if (changed_.wait_until(lock, until) == std::cv_status::timeout &&
        std::chrono::steady_clock::now() >= lastActivity_ + Idle) {
      return done_;
    }
  }
}

bool TRecvView::SaveReached() const {
  std::lock_guard lock(mutex_);
  return saveReached_;
}

bool TRecvView::FileError() const {
  std::lock_guard lock(mutex_);
  return fileError_;
}
