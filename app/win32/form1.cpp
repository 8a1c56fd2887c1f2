#include "app/win32/form1.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <exception>

#include "app/accessible_names.h"
#include "app/application.h"
#include "app/controls_logic.h"
#include "app/graphics/glyph_data.h"
#include "app/skin_colours.h"
#include "app/win32/dpi.h"
#include "app/win32/wide.h"
#include "app/win32/window_view.h"
#include "download/task_state.h"

namespace {

constexpr wchar_t kClass[] = L"TForm1";
constexpr int kSpeedButton1 = 101, kSpeedButton2 = 102, kRadioFirst = 111;
// The log's edit control inside its frame, and the room a radio button keeps
// beside and under its caption, in 96-DPI units.
constexpr int kLogInset = 2, kRadioTextPad = 2, kRadioRowPad = 4;
// Between the title and the window menu's button.
constexpr int kTitleTextGap = 8;

using namespace Form1Layout;

HWND Child(HWND Parent, const wchar_t* Class, DWORD Style, int Id) {
  return CreateWindowExW(0, Class, L"", WS_CHILD | WS_VISIBLE | Style, 0, 0, 0, 0, Parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)),
                         GetModuleHandleW(nullptr), nullptr);
}

// An owner-drawn button turns a quick second click into a double click and no
// click. Pressed and released like the first, it is a second command.
LRESULT CALLBACK SecondClickIsAClick(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam, UINT_PTR,
                                     DWORD_PTR) {
  return DefSubclassProc(Wnd, Msg == WM_LBUTTONDBLCLK ? WM_LBUTTONDOWN : Msg, WParam, LParam);
}

}  // namespace

TForm1::TForm1()
    : caption1_(ConnectCaption),
      caption2_(ReceiveCaption),
      glyph1_(SpeedButton1Glyph),
      glyph2_(SpeedButton2Glyph),
      icon_(ApplicationIcon),
      view_(std::make_unique<TWindowView>(*this, [this] { commands_->TaskEnded(); })),
      commands_(std::make_unique<TForm1Commands>(static_cast<TForm1Controls&>(*this), RivuComPort1,
                                                 *view_)) {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    wc.lpszClassName = kClass;
    return RegisterClassExW(&wc);
  }();
  (void)atom;
  memoBrush_ = CreateSolidBrush(RGB(255, 255, 255));

  // No system frame: the skin draws its own title bar and border. Placed and
  // sized below, once its DPI is known.
  wnd_ = CreateWindowExW(WS_EX_APPWINDOW, kClass, Wide(ApplicationTitle).c_str(),
                         WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                         FirstLeft, FirstTop, ClientWidth, ClientHeight, nullptr, nullptr,
                         GetModuleHandleW(nullptr), this);
  if (!wnd_) throw std::runtime_error("The main window could not be created");
  dpi_ = WindowDpi(wnd_);
  MakeFonts();
  MakePictures();
  CreateControls();

  // The first position, moved in only as far as a smaller screen needs.
  const int width = Px(ClientWidth), height = Px(ClientHeight);
  const POINT first{Px(FirstLeft), Px(FirstTop)};
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromPoint(first, MONITOR_DEFAULTTOPRIMARY), &mi);
  const RECT& a = mi.rcWork;
  const TPoint at = KeepInside({first.x, first.y}, width, height,
                               {a.left, a.top, a.right - a.left, a.bottom - a.top});
  SetWindowPos(wnd_, nullptr, at.X, at.Y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  commands_->InitPort();
}

TForm1::~TForm1() {
  if (wnd_) DestroyWindow(wnd_);
  if (memoBrush_) DeleteObject(memoBrush_);
}

void TForm1::Show(int CmdShow) {
  ShowWindow(wnd_, CmdShow);
  UpdateWindow(wnd_);
}

void TForm1::CreateControls() {
  // Created in reading order, which is the order of Tab: the content types
  // (one stop, a group the arrow keys move in), Connect, Receive, the log.
  for (std::size_t i = 0; i < radios_.size(); ++i) {
    radios_[i] = Child(wnd_, L"BUTTON", BS_OWNERDRAW | (i == 0 ? WS_GROUP | WS_TABSTOP : 0),
                       kRadioFirst + int(i));
    SetWindowTextW(radios_[i], Wide(Radios[i].Caption).c_str());
    MakeAccessibleButton(radios_[i], &checked_[i]);
  }
  button1_ = Child(wnd_, L"BUTTON", BS_OWNERDRAW | WS_GROUP | WS_TABSTOP, kSpeedButton1);
  button2_ = Child(wnd_, L"BUTTON", BS_OWNERDRAW | WS_TABSTOP, kSpeedButton2);
  SetWindowTextW(button1_, Wide(caption1_).c_str());
  SetWindowTextW(button2_, Wide(caption2_).c_str());
  MakeAccessibleButton(button1_);
  MakeAccessibleButton(button2_);
  memo_ = Child(
      wnd_, L"EDIT",
      WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_NOHIDESEL, 100);
  SendMessageW(memo_, WM_SETFONT, reinterpret_cast<WPARAM>(logFont_.get()), FALSE);
  // No length limit: a long session's log must not stop growing.
  SendMessageW(memo_, EM_SETLIMITTEXT, 0, 0);
  MakeAccessibleLog(memo_);
  for (HWND button : {button1_, button2_}) SetWindowSubclass(button, SecondClickIsAClick, 0, 0);
  for (HWND radio : radios_) SetWindowSubclass(radio, SecondClickIsAClick, 0, 0);
  Layout();
}

int TForm1::Px(int Units) const {
  return ToPixels(Units, dpi_);
}

RECT TForm1::Px(TRect R, POINT At) const {
  return ToPixels(R, dpi_, At);
}

POINT TForm1::Origin() const {
  RECT r;
  GetClientRect(wnd_, &r);
  return {std::max(0L, (r.right - Px(ClientWidth)) / 2),
          std::max(0L, (r.bottom - Px(ClientHeight)) / 2)};
}

RECT TForm1::TitleButtonRect(int I, int Width) const {
  const int right = TitleRightMargin + I * (TitleButtonSize + TitleButtonGap);
  return {Width - Px(right + TitleButtonSize), Px(TitleButtonTop), Width - Px(right),
          Px(TitleButtonTop + TitleButtonSize)};
}

RECT TForm1::TitleTextRect(int Width) const {
  const RECT menu = TitleButtonRect(3, Width);
  return {Px(TitleTextLeft), menu.top, menu.left - Px(kTitleTextGap), menu.bottom};
}

void TForm1::Layout() {
  // The children sit at their designed places around the origin.
  if (!memo_) return;
  const POINT o = Origin();
  auto place = [](HWND c, const RECT& r) {
    MoveWindow(c, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  };
  place(memo_, Px({Memo1.Left + kLogInset, Memo1.Top + kLogInset, Memo1.Width - 2 * kLogInset,
                   Memo1.Height - 2 * kLogInset},
                  o));
  place(button1_, Px(SpeedButton1, o));
  place(button2_, Px(SpeedButton2, o));
  HDC dc = GetDC(wnd_);
  HGDIOBJ old = SelectObject(dc, groupFont_.get());
  for (std::size_t i = 0; i < radios_.size(); ++i) {
    // Sized to its caption: indicator, gap, text.
    SIZE text{};
    const std::wstring caption = Wide(Radios[i].Caption);
    GetTextExtentPoint32W(dc, caption.c_str(), int(caption.size()), &text);
    const RECT at = Px({RadioGroup.Left + RadioLeft, RadioGroup.Top + Radios[i].Top, 0, 0}, o);
    place(radios_[i],
          {at.left, at.top, at.left + Px(RadioIndicator + RadioGap) + text.cx + Px(kRadioTextPad),
           at.top + std::max<int>(Px(RadioIndicator), text.cy) + Px(kRadioRowPad)});
  }
  SelectObject(dc, old);
  ReleaseDC(wnd_, dc);
  InvalidateRect(wnd_, nullptr, FALSE);
}

void TForm1::ApplyDpi(UINT Dpi) {
  dpi_ = Dpi;
  MakeFonts();
  MakePictures();
  Layout();
  for (HWND c : {memo_, button1_, button2_}) InvalidateRect(c, nullptr, TRUE);
  for (HWND c : radios_) InvalidateRect(c, nullptr, TRUE);
}

void TForm1::DpiChanged(UINT Dpi, const RECT& Suggested) {
  ApplyDpi(Dpi);
  if (maximized_) {
    // Still filling the work area, now of the monitor it moved to; restored,
    // it takes the size of the new scale.
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (GetMonitorInfoW(MonitorFromRect(&Suggested, MONITOR_DEFAULTTONEAREST), &mi)) {
      const RECT& a = mi.rcWork;
      SetWindowPos(wnd_, nullptr, a.left, a.top, a.right - a.left, a.bottom - a.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return;
  }
  // Where the system suggests, at the designed size for the new scale.
  SetWindowPos(wnd_, nullptr, Suggested.left, Suggested.top, Px(ClientWidth), Px(ClientHeight),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::RunCommand(void (TForm1Commands::*Command)()) {
  try {
    ((*commands_).*Command)();
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException(std::string());
  }
}

void TForm1::ShowException(const std::string& Message) {
  MessageBoxW(wnd_, Wide(ErrorBoxText(Message)).c_str(), Wide(ApplicationTitle).c_str(),
              MB_OK | MB_ICONERROR);
}

void TForm1::ToggleMaximized() {
  // Done here rather than by the system: a frameless window is maximised the
  // same way with or without a window manager to ask (under Wine there may be
  // none).
  if (maximized_) {
    // Back where it was, at the designed size for the scale it has now.
    maximized_ = false;
    SetWindowPos(wnd_, nullptr, normal_.left, normal_.top, Px(ClientWidth), Px(ClientHeight),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    TellReaders(EVENT_OBJECT_NAMECHANGE, roMaximize);  // "Maximize" again
    return;
  }
  GetWindowRect(wnd_, &normal_);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoW(MonitorFromWindow(wnd_, MONITOR_DEFAULTTONEAREST), &mi)) return;
  maximized_ = true;
  const RECT& a = mi.rcWork;
  SetWindowPos(wnd_, nullptr, a.left, a.top, a.right - a.left, a.bottom - a.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  TellReaders(EVENT_OBJECT_NAMECHANGE, roMaximize);  // now "Restore"
}

void TForm1::ShowWindowMenu(POINT At) {
  HMENU menu = CreatePopupMenu();
  using AccessibleNames::TWindowCommand;
  for (const auto& c : AccessibleNames::WindowCommands) {
    if (c.Command == TWindowCommand::Close) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    const UINT id = c.Command == TWindowCommand::Restore    ? SC_RESTORE
                    : c.Command == TWindowCommand::Minimize ? SC_MINIMIZE
                    : c.Command == TWindowCommand::Maximize ? SC_MAXIMIZE
                                                            : SC_CLOSE;
    const bool grayed = (c.Command == TWindowCommand::Restore && !maximized_) ||
                        (c.Command == TWindowCommand::Maximize && maximized_);
    const std::string text =
        *c.Shortcut ? std::string(c.MenuCaption) + "\t" + c.Shortcut : std::string(c.MenuCaption);
    AppendMenuW(menu, MF_STRING | (grayed ? MF_GRAYED : 0), id, Wide(text).c_str());
  }
  const UINT cmd = UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, At.x,
                                       At.y, 0, wnd_, nullptr));
  DestroyMenu(menu);
  if (cmd) PostMessageW(wnd_, WM_SYSCOMMAND, cmd, 0);
}

void TForm1::ShowWindowMenuAtButton() {
  RECT r;
  GetClientRect(wnd_, &r);
  const RECT menu = TitleButtonRect(3, r.right);
  POINT at{menu.left, menu.bottom};
  ClientToScreen(wnd_, &at);
  ShowWindowMenu(at);
}

TForm1::THot TForm1::HitTest(POINT P) const {
  RECT r;
  GetClientRect(wnd_, &r);
  // Right to left: close, maximise, minimise, window menu.
  const THot order[] = {htClose, htMaximize, htMinimize, htMenu};
  for (int i = 0; i < 4; ++i) {
    const RECT b = TitleButtonRect(i, r.right);
    if (PtInRect(&b, P)) return order[i];
  }
  const RECT link = Px(URLLabel1, Origin());
  return PtInRect(&link, P) ? htLink : htNone;
}

void TForm1::AddLine(const std::string& Line) {
  DWORD start = 0, end = 0;
  SendMessageW(memo_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const int length = GetWindowTextLengthW(memo_);
  const std::wstring text = (length > 0 ? L"\r\n" : L"") + Wide(Line);
  SendMessageW(memo_, EM_SETSEL, WPARAM(length), LPARAM(length));
  SendMessageW(memo_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  // The user's selection stays where it was; a bare caret at the end follows
  // the text.
  if (start != end || int(end) != length) SendMessageW(memo_, EM_SETSEL, start, end);
  // The new line shows, wherever the selection is.
  SendMessageW(memo_, EM_LINESCROLL, 0, SendMessageW(memo_, EM_GETLINECOUNT, 0, 0));
}

void TForm1::SetProgress(std::optional<int> Position, std::optional<int> Min,
                         std::optional<int> Max) {
  const long long shown = ProgressPercent(position_, min_, max_);
  if (Position) position_ = *Position;
  if (Min) min_ = *Min;
  if (Max) max_ = *Max;
  const RECT bar = Px(ProgressBar1, Origin());
  // Refreshed at once, as the task goes on only after the change shows.
  InvalidateRect(wnd_, &bar, FALSE);
  UpdateWindow(wnd_);
  if (ProgressPercent(position_, min_, max_) != shown) {
    TellReaders(EVENT_OBJECT_VALUECHANGE, roProgress);
    TellReaders(EVENT_OBJECT_NAMECHANGE, roProgress);
  }
}

void TForm1::ProgressStepBy(int Delta) {
  SetProgress(ToProgress(int64_t{position_} + Delta), std::nullopt, std::nullopt);
}

std::optional<ContentType> TForm1::CheckedContentType() const {
  return ::CheckedContentType(checked_);
}

void TForm1::MemoClear() {
  SetWindowTextW(memo_, L"");
}

void TForm1::MemoSetText(std::string_view Text) {
  SetWindowTextW(memo_, Wide(Text).c_str());
}

void TForm1::ConnectGlyphChanged() {
  MakeGlyphs();
  InvalidateRect(button1_, nullptr, FALSE);
  UpdateWindow(button1_);
}

void TForm1::SetConnectCaption(std::string_view Caption) {
  caption1_ = Caption;
  SetWindowTextW(button1_, Wide(caption1_).c_str());
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, button1_, OBJID_CLIENT, CHILDID_SELF);
  InvalidateRect(button1_, nullptr, FALSE);
  UpdateWindow(button1_);
}

void TForm1::CancelPrompts() {
  view_->CancelPrompts();
}

void TForm1::ProcessEventsUntil(const std::function<bool()>& Done) {
  // Everything but the user's input; a box that opened after the last cancel
  // is closed on the next round.
  while (!Done()) {
    MsgWaitForMultipleObjectsEx(0, nullptr, 100,
                                QS_POSTMESSAGE | QS_SENDMESSAGE | QS_PAINT | QS_TIMER,
                                MWMO_INPUTAVAILABLE);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0,
                        PM_REMOVE | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE | PM_QS_PAINT)) {
      if (m.message == WM_QUIT) {
        PostQuitMessage(int(m.wParam));
        break;
      }
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    if (view_->Closing()) view_->CancelPrompts();
  }
}

LRESULT CALLBACK TForm1::Proc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(LParam);
    auto* form = static_cast<TForm1*>(cs->lpCreateParams);
    form->wnd_ = Wnd;
    SetWindowLongPtrW(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  if (Msg == WM_NCDESTROY) {
    // Jobs the view queued release their waiters without touching the window.
    MSG m;
    while (PeekMessageW(&m, Wnd, ViewJobMessage(), ViewJobMessage(), PM_REMOVE))
      TWindowView::RunJob(m.lParam, false);
    SetWindowLongPtrW(Wnd, GWLP_USERDATA, 0);
    if (form) form->wnd_ = nullptr;
    // Wakes the message loop, which ends once the window is gone.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
    return DefWindowProcW(Wnd, Msg, WParam, LParam);
  }
  if (form) return form->Handle(Msg, WParam, LParam);
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

LRESULT TForm1::Handle(UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == ViewJobMessage()) {
    TWindowView::RunJob(LParam, true);
    return 0;
  }
  switch (Msg) {
    case WM_ERASEBKGND:
      return 1;  // the paint covers everything
    case WM_GETOBJECT:
      if (const LRESULT object = AnswerGetObject(WParam, LParam)) return object;
      break;
    case WM_NEXTDLGCTL: {
      // Tab and the arrow keys from a control that asks, as a dialog moves them:
      // an arrow onto a content type chooses it.
      HWND next = LOWORD(LParam) ? reinterpret_cast<HWND>(WParam)
                                 : GetNextDlgTabItem(wnd_, GetFocus(), WParam != 0);
      if (!next) return 0;
      SetFocus(next);
      if (LOWORD(LParam) && GetDlgCtrlID(next) >= kRadioFirst &&
          GetDlgCtrlID(next) < kRadioFirst + int(radios_.size()))
        SendMessageW(next, BM_CLICK, 0, 0);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd_, &ps);
      Paint(dc);
      EndPaint(wnd_, &ps);
      return 0;
    }
    case WM_SIZE:
      Layout();
      return 0;
    case WM_DPICHANGED: {
      const TDpiChange change = ReadDpiChange(WParam, LParam);
      DpiChanged(change.Dpi, change.Suggested);
      return 0;
    }
    case WM_GETMINMAXINFO: {
      // Maximised, the window fills the work area, not the whole screen.
      auto* mmi = reinterpret_cast<MINMAXINFO*>(LParam);
      MONITORINFO mi{};
      mi.cbSize = sizeof mi;
      if (GetMonitorInfoW(MonitorFromWindow(wnd_, MONITOR_DEFAULTTONEAREST), &mi)) {
        mmi->ptMaxPosition = {mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top};
        mmi->ptMaxSize = {mi.rcWork.right - mi.rcWork.left, mi.rcWork.bottom - mi.rcWork.top};
      }
      mmi->ptMinTrackSize = {Px(ClientWidth), Px(ClientHeight)};
      return 0;
    }
    case WM_NCHITTEST: {
      POINT p{GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)};
      ScreenToClient(wnd_, &p);
      // The title bar moves the window, but not while maximised.
      if (p.y >= 0 && p.y < Px(TitleBarHeight) && HitTest(p) == htNone && !maximized_)
        return HTCAPTION;
      return HTCLIENT;
    }
    case WM_NCLBUTTONDBLCLK:
      if (WParam == HTCAPTION) {
        ToggleMaximized();
        return 0;
      }
      break;
    case WM_LBUTTONDBLCLK: {
      const POINT p{GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)};
      if (p.y < Px(TitleBarHeight) && HitTest(p) == htNone) ToggleMaximized();
      return 0;
    }
    case WM_NCRBUTTONUP:
      if (WParam == HTCAPTION) {
        ShowWindowMenu({GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)});
        return 0;
      }
      break;
    case WM_MOUSEMOVE: {
      const THot h = HitTest({GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)});
      if (!tracking_) {
        TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, wnd_, 0};
        tracking_ = TrackMouseEvent(&t);
      }
      if (h != hot_) {
        hot_ = h;
        InvalidateRect(wnd_, nullptr, FALSE);
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      tracking_ = false;
      if (hot_ != htNone) {
        hot_ = htNone;
        InvalidateRect(wnd_, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONDOWN:
      pressed_ = HitTest({GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)});
      if (pressed_ != htNone) {
        SetCapture(wnd_);
        InvalidateRect(wnd_, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP: {
      const THot was = pressed_;
      pressed_ = htNone;
      if (GetCapture() == wnd_) ReleaseCapture();
      InvalidateRect(wnd_, nullptr, FALSE);
      if (was == htNone || HitTest({GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam)}) != was) return 0;
      switch (was) {
        case htMenu:
          ShowWindowMenuAtButton();
          break;
        case htMinimize:
          ShowWindow(wnd_, SW_MINIMIZE);
          break;
        case htMaximize:
          ToggleMaximized();
          break;
        case htClose:
          PostMessageW(wnd_, WM_CLOSE, 0, 0);
          break;
        case htLink:
          if (std::string_view(LinkTarget).find_first_not_of(' ') != std::string_view::npos)
            ShellExecuteW(wnd_, L"open", Wide(LinkTarget).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
          break;
        case htNone:
          break;
      }
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(LParam) == HTCLIENT) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(wnd_, &p);
        if (HitTest(p) == htLink) {
          SetCursor(LoadCursorW(nullptr, IDC_HAND));
          return TRUE;
        }
      }
      break;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(LParam);
      if (item.CtlID == kSpeedButton1 || item.CtlID == kSpeedButton2) {
        DrawButton(item);
      } else {
        DrawRadio(item, int(item.CtlID) - kRadioFirst);
      }
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(WParam);
      if (HIWORD(WParam) != BN_CLICKED) break;
      if (id == kSpeedButton1) {
        RunCommand(&TForm1Commands::SpeedButton1Click);
      } else if (id == kSpeedButton2) {
        RunCommand(&TForm1Commands::SpeedButton2Click);
      } else if (id >= kRadioFirst && id < kRadioFirst + int(radios_.size())) {
        // Selecting one unselects the others; there is no way back to none.
        // The chosen one is the group's stop for Tab.
        for (std::size_t i = 0; i < checked_.size(); ++i) {
          const bool now = int(i) == id - kRadioFirst;
          const LONG style = GetWindowLongW(radios_[i], GWL_STYLE);
          SetWindowLongW(radios_[i], GWL_STYLE, now ? style | WS_TABSTOP : style & ~WS_TABSTOP);
          if (checked_[i] == now) continue;
          checked_[i] = now;
          InvalidateRect(radios_[i], nullptr, FALSE);
          NotifyWinEvent(EVENT_OBJECT_STATECHANGE, radios_[i], OBJID_CLIENT, CHILDID_SELF);
        }
      }
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(LParam) == memo_) {
        HDC dc = reinterpret_cast<HDC>(WParam);
        SetTextColor(dc,
                     RGB(SkinColours::LogText.R, SkinColours::LogText.G, SkinColours::LogText.B));
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(memoBrush_);
      }
      break;
    case WM_SYSCOMMAND:
      // Alt+Space: the skin's window menu, as its button opens it.
      if ((WParam & 0xfff0) == SC_KEYMENU && LParam == ' ') {
        ShowWindowMenuAtButton();
        return 0;
      }
      // The window menu's and the taskbar's maximise and restore.
      if ((WParam & 0xfff0) == SC_MAXIMIZE && !maximized_) {
        ToggleMaximized();
        return 0;
      }
      if ((WParam & 0xfff0) == SC_RESTORE && maximized_ && !IsIconic(wnd_)) {
        ToggleMaximized();
        return 0;
      }
      break;
    case WM_CLOSE:
      // A running download ends before the port and the window go.
      commands_->EndTask();
      DestroyWindow(wnd_);
      return 0;
    case WM_DESTROY:
      accessible_.reset();  // a reader that still holds it is told it is gone
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(wnd_, Msg, WParam, LParam);
}
