// Reading the texts of windows, this process's or another's: the window and
// its children are found by class and title, and their texts are asked for
// with WM_GETTEXT, which the system carries across processes (GetWindowText
// does not read another process's controls).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace window_texts {

// The text a window holds; empty when it does not answer within 5 s.
inline std::wstring Text(HWND Wnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(Wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(Wnd, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(&text[0]),
                           SMTO_ABORTIFHUNG, 5000, &copied))
    return {};
  text.resize(copied);
  return text;
}

inline std::wstring ClassOf(HWND Wnd) {
  wchar_t name[256] = {};
  GetClassNameW(Wnd, name, 256);
  return name;
}

// The first visible top-level window titled Title whose class is Class, or,
// with Class empty, is no dialog box (a message box may share the title).
inline HWND TopLevel(std::wstring_view Class, std::wstring_view Title) {
  struct TSearch {
    std::wstring_view Class, Title;
    HWND Found = nullptr;
  } search{Class, Title};
  EnumWindows(
      [](HWND Wnd, LPARAM P) -> BOOL {
        auto& s = *reinterpret_cast<TSearch*>(P);
        const std::wstring cls = ClassOf(Wnd);
        const bool classFits = s.Class.empty() ? cls != L"#32770" : cls == s.Class;
        if (!IsWindowVisible(Wnd) || !classFits || Text(Wnd) != s.Title) return TRUE;
        s.Found = Wnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// The first child of class Class (case as the system spells it does not
// matter) with control id Id, or any id when Id is 0.
inline HWND Child(HWND Parent, std::wstring_view Class, int Id = 0) {
  struct TSearch {
    std::wstring_view Class;
    int Id;
    HWND Found = nullptr;
  } search{Class, Id};
  EnumChildWindows(
      Parent,
      [](HWND Wnd, LPARAM P) -> BOOL {
        auto& s = *reinterpret_cast<TSearch*>(P);
        const std::wstring cls = ClassOf(Wnd);
        if (CompareStringOrdinal(cls.c_str(), int(cls.size()), s.Class.data(), int(s.Class.size()),
                                 TRUE) != CSTR_EQUAL ||
            (s.Id && GetDlgCtrlID(Wnd) != s.Id))
          return TRUE;
        s.Found = Wnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// A message box's text: its STATIC child that has one (the icon's has none).
inline std::wstring MessageBoxText(HWND Box) {
  std::wstring found;
  EnumChildWindows(
      Box,
      [](HWND Wnd, LPARAM P) -> BOOL {
        if (CompareStringOrdinal(ClassOf(Wnd).c_str(), -1, L"Static", -1, TRUE) != CSTR_EQUAL)
          return TRUE;
        std::wstring text = Text(Wnd);
        if (text.empty()) return TRUE;
        *reinterpret_cast<std::wstring*>(P) = std::move(text);
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

inline std::string Utf8(std::wstring_view Text) {
  if (Text.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, Text.data(), int(Text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text.data(), int(Text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace window_texts
