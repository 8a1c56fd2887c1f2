// The main window as a screen reader sees it, through the system's
// accessibility objects. Owner-drawn buttons and the log area answer for
// themselves; the parts the window paints (title bar, banner, progress bar,
// link) are children of the window's own client object, beside the child
// windows, in reading order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/win32/windows_api.h"
// After the API itself, which it builds on.
#include <oleacc.h>

// One thing the window shows, as a screen reader reads it.
struct TAccessibleItem {
  HWND Window = nullptr;      // a child window, which speaks for itself
  std::vector<HWND> Members;  // or a group of child windows, with the facts below
  long Role = 0;
  std::wstring Name, Value;
  long State = 0;
  RECT Bounds{};  // in the window's client coordinates
  // What its default action is called; it then clicks the middle of Bounds.
  std::wstring Action;
};

// What the window's client object asks the window, each time it is asked.
class TAccessibleParts {
 public:
  virtual std::vector<TAccessibleItem> AccessibleItems() const = 0;

 protected:
  ~TAccessibleParts() = default;
};

class TClientAccessible;

// The window's client object, made on the first WM_GETOBJECT. A reader may
// hold it after the window is gone: from then on its calls fail, instead of
// reaching the parts.
class TAccessibleWindow {
 public:
  TAccessibleWindow(HWND Window, const TAccessibleParts& Parts);
  ~TAccessibleWindow();
  TAccessibleWindow(const TAccessibleWindow&) = delete;
  TAccessibleWindow& operator=(const TAccessibleWindow&) = delete;

  // The answer to WM_GETOBJECT; 0 for objects other than the client's.
  LRESULT Answer(WPARAM WParam, LPARAM LParam);

 private:
  HWND wnd_;
  const TAccessibleParts& parts_;
  TClientAccessible* object_ = nullptr;  // one reference, ours
};

// An owner-drawn BUTTON as a push button, or as a radio button whose checked
// state *Checked holds (read while the button lives). Its name is its caption
// without the blanks around it.
void MakeAccessibleButton(HWND Button, const bool* Checked = nullptr);
// The read-only log area: text whose value is the log.
void MakeAccessibleLog(HWND Edit);

// The child id of item Index of the window's client object, as VARIANTs and
// NotifyWinEvent name it (0 is the object itself).
inline constexpr LONG ChildIdOf(std::size_t ItemIndex) {
  return LONG(ItemIndex) + 1;
}
