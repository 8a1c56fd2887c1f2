#include "app/win32/com_select_form.h"

#include "app/win32/wide.h"
#include "serial/ports/port_dialog_layout.h"
#include "serial/ui/convert_error.h"

namespace {

constexpr wchar_t kClass[] = L"TComSelectForm";
using namespace PortDialogLayout;
constexpr int kCombo = 100, kAbort = 1001;  // Escape's IDCANCEL answers nothing

}  // namespace

TComSelectForm::TComSelectForm(HWND Owner) : owner_(Owner), choices_(ListPortChoices()) {}

TComSelectForm::~TComSelectForm() {
  if (wnd_) DestroyWindow(wnd_);
  if (font_) DeleteObject(font_);
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
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  RECT r{0, 0, ClientWidth, ClientHeight};
  AdjustWindowRectEx(&r, style, FALSE, WS_EX_DLGMODALFRAME);
  const int w = r.right - r.left, h = r.bottom - r.top;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  wnd_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kClass, Wide(Caption).c_str(), style,
                         work.left + (work.right - work.left - w) / 2,
                         work.top + (work.bottom - work.top - h) / 2, w, h, owner_, nullptr,
                         GetModuleHandleW(nullptr), this);
  font_ = CreateFontW(-FontPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
  auto child = [this](const wchar_t* cls, const char* text, DWORD style, TRect r, int id) {
    HWND c =
        CreateWindowExW(0, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, r.Left, r.Top,
                        r.Width, r.Height, wnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return c;
  };
  // Creation order is the tab order: OK, Cancel, then the list.
  child(L"STATIC", "", SS_SUNKEN, Bevel1, -1);
  child(L"STATIC", Label1Text, 0, Label1, -1);
  child(L"STATIC", Label2Text, 0, Label2, -1);
  device_ = child(L"STATIC", "", SS_ENDELLIPSIS | SS_NOPREFIX, DeviceLabel, -1);
  HWND ok = child(L"BUTTON", OkText, WS_TABSTOP | BS_DEFPUSHBUTTON, OkBtn, IDOK);
  child(L"BUTTON", CancelText, WS_TABSTOP | BS_PUSHBUTTON, AbortBtn, kAbort);
  // The drop-down list's height is that of its open list.
  combo_ = child(L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                 {PortsComboBox.Left, PortsComboBox.Top, PortsComboBox.Width, 200}, kCombo);
  // A held port is marked in the list itself; the choice is still its number.
  for (const TPortChoice& port : choices_.Ports) {
    const std::string entry = port.Held ? port.Text + "  (held)" : port.Text;
    SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
  }
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
