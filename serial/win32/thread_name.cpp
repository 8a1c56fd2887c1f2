#include "serial/win32/thread_name.h"

#include <windows.h>

#include <string>

void NameThisThread(const char* Name) {
  // Looked up at run time: the call is newer than the oldest systems served.
  using TSetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto Set = reinterpret_cast<TSetDescription>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetThreadDescription")));
  if (!Set) return;
  const std::wstring Wide(Name, Name + std::char_traits<char>::length(Name));
  Set(::GetCurrentThread(), Wide.c_str());
}
