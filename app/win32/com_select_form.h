// The port selection dialog on Win32: "Select Port" with the COM numbers that
// open or that another program holds, the device behind the selected one,
// OK and Cancel. Enter picks, Escape does nothing, closing cancels.
#pragma once

#include <string>
#include <vector>

#include "app/win32/windows_api.h"
#include "serial/ports/port_choices.h"

class TComSelectForm {
 public:
  enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3 };

  // Fills the list (one trial open per port number) before it is shown.
  explicit TComSelectForm(HWND Owner);
  // Lists the given choices.
  TComSelectForm(HWND Owner, TPortChoices Choices);
  ~TComSelectForm();
  TComSelectForm(const TComSelectForm&) = delete;
  TComSelectForm& operator=(const TComSelectForm&) = delete;

  // Modal to the owner: mrOk, mrAbort (Cancel button) or mrCancel (closed).
  TModalResult ShowModal();
  // The number of the selected entry; EConvertError when nothing is selected.
  int SelectedComNum() const;
  // The text of the selected entry ("COM3"); empty when nothing is selected.
  std::string SelectedCom() const { return selected_; }

 private:
  static LRESULT CALLBACK Proc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  LRESULT Handle(UINT Msg, WPARAM WParam, LPARAM LParam);
  void Create();
  void ShowDevice();
  // The children placed and their font made for Dpi.
  void ApplyDpi(UINT Dpi);

  static constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  static constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

  HWND owner_;
  HWND wnd_ = nullptr;
  HWND combo_ = nullptr;
  std::vector<HWND> parts_;  // every child, in creation order
  HWND device_ = nullptr;
  HFONT font_ = nullptr;
  TPortChoices choices_;
  TModalResult result_ = mrNone;
  std::string selected_;
};
