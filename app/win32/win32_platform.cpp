#include "app/win32/win32_platform.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "app/application.h"
#include "app/controls_logic.h"
#include "app/win32/com_select_form.h"
#include "app/win32/wide.h"
#include "serial/platform/queued_window.h"

namespace {

// A job for the window's thread: Send and Deliver, whose waits the shared
// code keeps.
constexpr UINT kJobMessage = WM_APP + 0x100;
// The boundary ProcessPendingEvents posts behind what is queued; its WPARAM
// tells one pump's from another's.
constexpr UINT kMarkMessage = WM_APP + 0x101;

// The hidden windows of each thread, which ProcessPendingEvents drains.
thread_local std::vector<HWND> ThreadWindows;
// The marks run so far on this thread, by whichever loop took them.
thread_local std::vector<std::pair<HWND, WPARAM>> MarksRun;
thread_local WPARAM LastMark = 0;

LRESULT CALLBACK ComWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

void RegisterComWindowClass() {
  static const ATOM Atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ComWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = ComWindowClass;
    return RegisterClassExW(&wc);
  }();
  (void)Atom;
}

class TComWindow : public TQueuedNotifyWindow {
 public:
  explicit TComWindow(TWindowProc Proc)
      : TQueuedNotifyWindow(Proc), proc_(std::move(Proc)), thread_(GetCurrentThreadId()) {
    RegisterComWindowClass();
    // A message-only window: never shown, never enumerated with the desktop's.
    wnd_ = CreateWindowExW(0, ComWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), this);
    if (wnd_) ThreadWindows.push_back(wnd_);
  }
  ~TComWindow() override {
    if (!wnd_) return;
    std::erase(ThreadWindows, wnd_);
    DestroyWindow(wnd_);  // drops what is still queued for it
  }

  // The notification itself travels as the window message it is.
  void Post(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override {
    if (!wnd_ || !PostMessageW(wnd_, Msg, WParam, LParam))
      TQueuedNotifyWindow::Post(Msg, WParam, LParam);
  }

  LRESULT Handle(UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == kJobMessage) {
      std::unique_ptr<std::function<void()>> job(reinterpret_cast<std::function<void()>*>(LParam));
      (*job)();
      return 0;
    }
    if (Msg >= WM_USER) return proc_(Msg, WParam, LParam);
    return DefWindowProcW(wnd_, Msg, WParam, LParam);
  }

 protected:
  bool Queue(std::function<void()> Job) override {
    if (!wnd_) return false;
    auto job = std::make_unique<std::function<void()>>(std::move(Job));
    if (!PostMessageW(wnd_, kJobMessage, 0, reinterpret_cast<LPARAM>(job.get()))) return false;
    job.release();  // the window's thread runs and frees it
    return true;
  }
  bool OnOwnerThread() const override { return GetCurrentThreadId() == thread_; }

 private:
  TWindowProc proc_;
  DWORD thread_;
  HWND wnd_ = nullptr;
};

LRESULT CALLBACK ComWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(LParam);
    SetWindowLongPtrW(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  if (Msg == kMarkMessage) {
    MarksRun.emplace_back(Wnd, WParam);
    return 0;
  }
  if (Msg == WM_DESTROY) {
    // Jobs still queued are freed unrun; their senders have given up or will.
    MSG m;
    while (PeekMessageW(&m, Wnd, kJobMessage, kJobMessage, PM_REMOVE))
      delete reinterpret_cast<std::function<void()>*>(m.lParam);
    SetWindowLongPtrW(Wnd, GWLP_USERDATA, 0);
  }
  auto* window = reinterpret_cast<TComWindow*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  if (window && Msg != WM_NCCREATE && Msg != WM_DESTROY) return window->Handle(Msg, WParam, LParam);
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

}  // namespace

TWin32SerialPlatform::TWin32SerialPlatform(HWND Owner)
    : owner_(Owner), guiThread_(GetCurrentThreadId()) {}

std::unique_ptr<TNotifyWindow> TWin32SerialPlatform::CreateNotifyWindow(TWindowProc Proc) {
  return std::make_unique<TComWindow>(std::move(Proc));
}

void TWin32SerialPlatform::ProcessPendingEvents() {
  // Only what is queued now runs. A close asked for inside a trigger event
  // posts its next step again until the event has returned; draining each
  // window until it is empty would take that step for ever. A mark posted
  // behind each window's messages is the boundary: one thread's posted
  // messages come out in the order they went in, so everything before the mark
  // was there when this call began. Taking a snapshot of the queue instead
  // would reorder: a pump nested in one of its messages would run later
  // messages before the snapshot's rest. A nested pump, or a dialog's loop,
  // may run this mark first; it is noted where it runs, and this loop stops.
  const WPARAM mark = ++LastMark;
  std::vector<HWND> windows;
  for (HWND wnd : ThreadWindows)
    if (PostMessageW(wnd, kMarkMessage, mark, 0)) windows.push_back(wnd);
  const auto passed = [mark](HWND Wnd) {
    return std::find(MarksRun.begin(), MarksRun.end(), std::pair{Wnd, mark}) != MarksRun.end();
  };
  for (HWND wnd : windows) {
    MSG m;
    // A message may close a port and so destroy its window, and its mark.
    while (std::find(ThreadWindows.begin(), ThreadWindows.end(), wnd) != ThreadWindows.end() &&
           !passed(wnd) && PeekMessageW(&m, wnd, 0, 0, PM_REMOVE)) {
      DispatchMessageW(&m);
    }
  }
  std::erase_if(MarksRun, [mark](const auto& Run) { return Run.second == mark; });
}

void TWin32SerialPlatform::ShowBackgroundError(const std::string& Text) {
  // A thread of its own shows the box: neither the failing thread nor the
  // window's waits for the user.
  struct TBox {
    std::wstring Text, Title;
    HWND Owner;
  };
  auto box = std::make_unique<TBox>(TBox{Wide(ErrorBoxText(Text)), Wide(ApplicationTitle), owner_});
  const HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID P) -> DWORD {
        std::unique_ptr<TBox> b(static_cast<TBox*>(P));
        MessageBoxW(nullptr, b->Text.c_str(), b->Title.c_str(),
                    MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
        return 0;
      },
      box.get(), 0, nullptr);
  if (!thread) return;
  box.release();
  CloseHandle(thread);
}

int TWin32SerialPlatform::PromptForPort() {
  if (GetCurrentThreadId() != guiThread_) return 0;  // no dialog can be shown from here
  TComSelectForm form(owner_);
  if (form.ShowModal() != TComSelectForm::mrOk) return 0;
  return form.SelectedComNum();
}
