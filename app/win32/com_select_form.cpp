#include "app/win32/com_select_form.h"

#include <utility>

#include "app/win32/dpi.h"
#include "app/win32/wide.h"
#include "serial/ports/port_dialog_layout.h"
#include "serial/ui/convert_error.h"

namespace {

using namespace PortDialogLayout;

constexpr wchar_t kClass[] = L"TComSelectForm";
constexpr int kCombo = 100, kAbort = 1001;  // Escape's IDCANCEL answers nothing
constexpr int kNoId = -1;
// The drop-down list's height is that of its open list, in 96-DPI units.
constexpr int kOpenListHeight = 200;

// The dialog's children. Creation order is the tab order: OK, Cancel, then
// the list.
enum TPart { pBevel, pLabel1, pLabel2, pDevice, pOk, pCancel, pList, pCount };
struct TPartLayout {
  const wchar_t* Class;
  const char* Text;
  DWORD Style;
  TRect Place;
  int Id;
};
constexpr TPartLayout kParts[pCount] = {
    {L"STATIC", "", SS_SUNKEN, Bevel1, kNoId},
    {L"STATIC", Label1Text, 0, Label1, kNoId},
    {L"STATIC", Label2Text, 0, Label2, kNoId},
    {L"STATIC", "", SS_ENDELLIPSIS | SS_NOPREFIX, DeviceLabel, kNoId},
    {L"BUTTON", OkText, WS_TABSTOP | BS_DEFPUSHBUTTON, OkBtn, IDOK},
    {L"BUTTON", CancelText, WS_TABSTOP | BS_PUSHBUTTON, AbortBtn, kAbort},
    {L"COMBOBOX",
     "",
     WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
     {PortsComboBox.Left, PortsComboBox.Top, PortsComboBox.Width, kOpenListHeight},
     kCombo},
};

}  // namespace

TComSelectForm::TComSelectForm(HWND Owner) : TComSelectForm(Owner, ListPortChoices()) {}

TComSelectForm::TComSelectForm(HWND Owner, TPortChoices Choices)
    : owner_(Owner), choices_(std::move(Choices)) {}

TComSelectForm::~TComSelectForm() {
  if (wnd_) DestroyWindow(wnd_);
  if (font_) DeleteObject(font_);
}

void TComSelectForm::ApplyDpi(UINT Dpi) {
  HFONT font = CreateFontW(-ToPixels(FontPixels, Dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    const RECT r = ToPixels(kParts[i].Place, Dpi);
    MoveWindow(parts_[i], r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    SendMessageW(parts_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  // The old font goes once no child uses it.
  if (font_) DeleteObject(font_);
  font_ = font;
  InvalidateRect(wnd_, nullptr, TRUE);
}

void TComSelectForm::Create() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kClass;
    return RegisterClassExW(&wc);
  }();
  (void)atom;
  // Made hidden first: its DPI decides its size, in the middle of the work area.
  wnd_ = CreateWindowExW(kExStyle, kClass, Wide(Caption).c_str(), kStyle, 0, 0, ClientWidth,
                         ClientHeight, owner_, nullptr, GetModuleHandleW(nullptr), this);
  if (!wnd_) return;
  const UINT dpi = WindowDpi(wnd_);
  const RECT frame =
      FrameAround(ToPixels(ClientWidth, dpi), ToPixels(ClientHeight, dpi), kStyle, kExStyle, dpi);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(owner_ ? owner_ : wnd_, MONITOR_DEFAULTTOPRIMARY), &mi);
  const RECT& work = mi.rcWork;
  SetWindowPos(wnd_, nullptr, work.left + (work.right - work.left - w) / 2,
               work.top + (work.bottom - work.top - h) / 2, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  parts_.clear();
  for (const TPartLayout& p : kParts) {
    const RECT r = ToPixels(p.Place, dpi);
    parts_.push_back(CreateWindowExW(
        0, p.Class, Wide(p.Text).c_str(), WS_CHILD | WS_VISIBLE | p.Style, r.left, r.top,
        r.right - r.left, r.bottom - r.top, wnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(p.Id)), GetModuleHandleW(nullptr), nullptr));
  }
  device_ = parts_[pDevice];
  combo_ = parts_[pList];
  HWND ok = parts_[pOk];
  ApplyDpi(dpi);
  // Every entry is the number alone; who holds a port shows on the device line.
  for (const TPortChoice& port : choices_.Ports)
    SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(port.Text).c_str()));
  if (!choices_.Ports.empty()) SendMessageW(combo_, CB_SETCURSEL, 0, 0);
  ShowDevice();
  SetFocus(ok);
}

void TComSelectForm::ShowDevice() {
  const auto index = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
  std::string text = choices_.EmptyText;
  selected_.clear();
  if (index >= 0 && std::size_t(index) < choices_.Ports.size()) {
    text = choices_.Ports[std::size_t(index)].Device;
    selected_ = choices_.Ports[std::size_t(index)].Text;
  }
  SetWindowTextW(device_, Wide(text).c_str());
}

TComSelectForm::TModalResult TComSelectForm::ShowModal() {
  Create();
  if (!wnd_) return mrCancel;
  const bool ownerEnabled = owner_ && IsWindowEnabled(owner_);
  if (ownerEnabled) EnableWindow(owner_, FALSE);
  ShowWindow(wnd_, SW_SHOW);
  result_ = mrNone;
  MSG m;
  while (result_ == mrNone) {
    const BOOL got = GetMessageW(&m, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(int(m.wParam));  // for the outer loop
      result_ = mrCancel;
      break;
    }
    if (!IsDialogMessageW(wnd_, &m)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }
  if (ownerEnabled) EnableWindow(owner_, TRUE);
  DestroyWindow(wnd_);
  wnd_ = nullptr;
  if (owner_) SetActiveWindow(owner_);
  return result_;
}

int TComSelectForm::SelectedComNum() const {
  return StrToInt(selected_.size() > 3 ? selected_.substr(3, 255) : std::string());
}

LRESULT CALLBACK TComSelectForm::Proc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(LParam);
    SetWindowLongPtrW(Wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* form = reinterpret_cast<TComSelectForm*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  if (form && form->wnd_ == Wnd) return form->Handle(Msg, WParam, LParam);
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

LRESULT TComSelectForm::Handle(UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_COMMAND:
      switch (LOWORD(WParam)) {
        case IDOK:
          result_ = mrOk;
          return 0;
        case kAbort:
          result_ = mrAbort;
          return 0;
        case kCombo:
          if (HIWORD(WParam) == CBN_SELCHANGE) ShowDevice();
          return 0;
        default:
          return 0;  // IDCANCEL from Escape: no button answers it
      }
    case WM_CLOSE:
      result_ = mrCancel;
      return 0;
    case WM_DPICHANGED: {
      const TDpiChange change = ReadDpiChange(WParam, LParam);
      const RECT& r = change.Suggested;
      SetWindowPos(wnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      // Where the frame does not follow the scale (older systems), the client
      // area still gets its designed size.
      RECT client;
      GetClientRect(wnd_, &client);
      const int dw = ToPixels(ClientWidth, change.Dpi) - client.right,
                dh = ToPixels(ClientHeight, change.Dpi) - client.bottom;
      if (dw || dh)
        SetWindowPos(wnd_, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
      ApplyDpi(change.Dpi);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(LParam) == device_) {
        // The device line is a hint, drawn dimmer than the dialog's texts.
        SetTextColor(reinterpret_cast<HDC>(WParam), GetSysColor(COLOR_GRAYTEXT));
        SetBkMode(reinterpret_cast<HDC>(WParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
  }
  return DefWindowProcW(wnd_, Msg, WParam, LParam);
}
