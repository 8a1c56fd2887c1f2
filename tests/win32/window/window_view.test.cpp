// The download task's view on Win32: calls from the task thread take effect on
// the window's thread in order; message boxes and the save dialog run on the
// task thread and give way when the window goes.
#include "app/win32/window_view.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tests/win32/window/window_test.h"
// After the API itself, which it builds on.
#include <commdlg.h>

namespace {

using namespace window_test;
using window_texts::Utf8;

// A small real window that the view drives, with the window procedure's part
// a window of the view has: jobs run, and released when the window goes.
class TTestWindow : public TViewWindow {
 public:
  TTestWindow() {
    static const ATOM atom = [] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"ViewTestWindow";
      return RegisterClassExW(&wc);
    }();
    (void)atom;
    wnd_ = CreateWindowExW(0, L"ViewTestWindow", L"view test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                           nullptr, nullptr, GetModuleHandleW(nullptr), this);
  }
  ~TTestWindow() {
    if (wnd_) DestroyWindow(wnd_);
  }

  HWND Handle() const override { return wnd_; }
  void AddLine(const std::string& Line) override { Record("line " + Line); }
  void SetProgress(std::optional<int> Position, std::optional<int> Min,
                   std::optional<int> Max) override {
    if (Position) position = *Position;
    if (Min) min = *Min;
    if (Max) max = *Max;
    Record("progress");
  }
  void ProgressStepBy(int Delta) override {
    position += Delta;
    Record("step");
  }
  std::optional<ContentType> CheckedContentType() const override { return checked; }

  // Closing the window: the view's prompts give way first, as the main
  // window's close does.
  TWindowView* view = nullptr;
  std::vector<std::string> calls;
  bool elsewhere = false;
  int position = 0, min = 0, max = 100;
  std::optional<ContentType> checked;

 private:
  void Record(std::string Call) {
    elsewhere |= GetWindowThreadProcessId(wnd_, nullptr) != GetCurrentThreadId();
    calls.push_back(std::move(Call));
  }
  static LRESULT CALLBACK Proc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_NCCREATE)
      SetWindowLongPtrW(Wnd, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(
                            reinterpret_cast<const CREATESTRUCTW*>(LParam)->lpCreateParams));
    auto* self = reinterpret_cast<TTestWindow*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
    if (Msg == ViewJobMessage()) {
      TWindowView::RunJob(LParam, true);
      return 0;
    }
    if (Msg == WM_CLOSE && self) {
      if (self->view) self->view->CancelPrompts();
      DestroyWindow(Wnd);
      return 0;
    }
    if (Msg == WM_NCDESTROY && self) {
      MSG m;
      while (PeekMessageW(&m, Wnd, ViewJobMessage(), ViewJobMessage(), PM_REMOVE))
        TWindowView::RunJob(m.lParam, false);
      self->wnd_ = nullptr;
    }
    return DefWindowProcW(Wnd, Msg, WParam, LParam);
  }
  std::atomic<HWND> wnd_ = nullptr;  // the task thread reads it
};

class Win32WindowView : public ::testing::Test {
 protected:
  Win32WindowView() { window.view = &view; }

  // The box the task opened, its text, and its answer to Button.
  static std::string Answer(const wchar_t* Title, int Button) {
    const HWND box = AwaitDialog(Title);
    if (!box) return "no box";
    const std::string text = Utf8(window_texts::MessageBoxText(box));
    PostMessageW(box, WM_COMMAND, Button, 0);
    return text;
  }

  TTestWindow window;
  int ended = 0;
  TWindowView view{window, [this] { ++ended; }};
  TTaskThread task;
};

TEST_F(Win32WindowView, CallsTakeEffectInOrderOnTheWindowThreadBeforeTheTaskGoesOn) {
  window.checked = ContentType::ctData;
  auto done = task.Run([&] {
    int late = 0;
    view.SetProgressMax(400);
    for (int i = 0; i < 200; ++i) {
      view.AddLine(std::to_string(i));
      late += window.calls.back() != "line " + std::to_string(i);
      view.ProgressStepBy(2);
    }
    view.SetProgressMax(int64_t{1} << 40);  // beyond the bar's range: saturates
    EXPECT_EQ(late, 0);
    return view.CheckedContentType();
  });
  EXPECT_EQ(task.Get(done), ContentType::ctData);
  ASSERT_EQ(window.calls.size(), 402u);
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(window.calls[1 + 2 * i], "line " + std::to_string(i));
    EXPECT_EQ(window.calls[2 + 2 * i], "step");
  }
  EXPECT_EQ(window.position, 400);
  EXPECT_EQ(window.max, std::numeric_limits<int>::max());
  EXPECT_FALSE(window.elsewhere);
}

TEST_F(Win32WindowView, TaskDoneRunsOnTheWindowThreadAfterTheLastLine) {
  std::vector<std::string> atDone;
  auto posted = task.Run([&] {
    view.AddLine("last");
    view.RunTaskDone([&] { atDone = window.calls; });
    return true;
  });
  EXPECT_TRUE(task.Get(posted));  // returns without waiting for TaskDone
  ASSERT_TRUE(WaitFor([&] { return ended == 1; }));
  EXPECT_EQ(atDone, std::vector<std::string>{"line last"});
}

TEST_F(Win32WindowView, MessageBoxGivesTheButtonPressedAndLeavesTheWindowWorking) {
  for (auto [buttons, press, expected] :
       {std::tuple{TMsgButtons::mbOK, IDOK, TMsgResult::mrOk},
        std::tuple{TMsgButtons::mbOKCancel, IDCANCEL, TMsgResult::mrCancel},
        std::tuple{TMsgButtons::mbOKCancel, IDOK, TMsgResult::mrOk}}) {
    auto answer = task.Run([&, buttons = buttons] {
      return view.MessageBox("Problem writing to file.", "File Error", buttons);
    });
    const HWND box = AwaitDialog(L"File Error");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);  // modal to nothing
    EXPECT_TRUE(IsWindowEnabled(window.Handle()));
    EXPECT_EQ(Answer(L"File Error", press), "Problem writing to file.");
    EXPECT_EQ(task.Get(answer), expected);
  }
}

TEST_F(Win32WindowView, SaveDialogAddsTheDefaultExtensionOrCancels) {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("zedazi-view-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::create_directories(folder);
  const std::pair<const char*, const char*> rows[] = {
      {"list", "list.tcn"}, {"list.bin", "list.bin"}, {nullptr, nullptr}};
  for (const auto& [typed, saved] : rows) {
    auto name = task.Run([&] {
      view.SetSaveFilter("Tavo channels files (*.tcn)|*.TCN|All files (*.*)|*.*", ".tcn");
      return view.ExecuteSaveDialog(1, OFN_ENABLESIZING);
    });
    const HWND dialog = AwaitDialog(L"Save As");
    ASSERT_NE(dialog, nullptr);
    if (typed) {
      const std::wstring path = (folder / typed).wstring();
      // The name box: a combo box on some systems, an edit box on others.
      for (const int id : {1148, 1152}) SetDlgItemTextW(dialog, id, path.c_str());
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      const auto got = task.Get(name);
      ASSERT_TRUE(got.has_value()) << typed;
      EXPECT_EQ(std::filesystem::path(*got).filename(), saved);
    } else {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      EXPECT_EQ(task.Get(name), std::nullopt);
    }
  }
  std::filesystem::remove_all(folder);
}

// The window going while the task waits in a prompt: the prompt closes as
// cancelled, every later one is cancelled at once, and what the task still
// sends to the window is dropped without a wait.
TEST_F(Win32WindowView, ClosingTheWindowCancelsTheOpenPromptAndEveryLaterOne) {
  const struct {
    const wchar_t* Title;
    bool SaveDialog;
  } rows[] = {{L"Error", false}, {L"Save As", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(Utf8(row.Title));
    TTestWindow closing;
    TWindowView closingView(closing, nullptr);
    closing.view = &closingView;
    auto answers = task.Run([&] {
      const bool first = row.SaveDialog ? !closingView.ExecuteSaveDialog(1, 0)
                                        : closingView.MessageBox("a", "Error", TMsgButtons::mbOK) ==
                                              TMsgResult::mrCancel;
      const bool later =
          closingView.MessageBox("b", "Error", TMsgButtons::mbOK) == TMsgResult::mrCancel &&
          !closingView.ExecuteSaveDialog(1, 0);
      closingView.AddLine("after the window");
      return first && later;
    });
    ASSERT_NE(AwaitDialog(row.Title), nullptr);
    SendMessageW(closing.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(task.Get(answers));
    EXPECT_EQ(closing.Handle(), nullptr);
    EXPECT_TRUE(closing.calls.empty());
  }
}

}  // namespace
