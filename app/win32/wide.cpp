#include "app/win32/wide.h"

#include "app/win32/windows_api.h"

std::wstring Wide(std::string_view Utf8) {
  if (Utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), int(Utf8.size()), nullptr, 0);
  std::wstring out(std::size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), int(Utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(std::wstring_view Wide) {
  if (Wide.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, Wide.data(), int(Wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(std::size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Wide.data(), int(Wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}
