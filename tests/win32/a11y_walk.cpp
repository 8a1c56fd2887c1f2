// Prints the accessibility tree of the running main window as a screen
// reader reads it, from another process: one line per object or element,
// indented by depth, with its role, name, states and value:
//   pushbutton "Connect" focusable focused
// Usage: a11y_walk.exe   (waits up to 30 s for the window; exit code 1 if none)
#include <windows.h>
// After the API itself, which it builds on.
#include <oleacc.h>

#include <cstdio>
#include <string>

namespace {

constexpr GUID kIAccessible = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

std::string Utf8(const wchar_t* W, int N) {
  if (!W || N <= 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, W, N, nullptr, 0, nullptr, nullptr);
  std::string out(std::size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, W, N, out.data(), n, nullptr, nullptr);
  return out;
}

// Takes the string and frees it; line breaks (the log's) written as \n, so
// that each object stays on one line.
std::string Take(BSTR S) {
  const std::string text = Utf8(S, S ? int(SysStringLen(S)) : 0);
  SysFreeString(S);
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    out += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return out;
}

std::string RoleName(long Role) {
  switch (Role) {
    case ROLE_SYSTEM_CLIENT:
      return "client";
    case ROLE_SYSTEM_WINDOW:
      return "window";
    case ROLE_SYSTEM_TITLEBAR:
      return "titlebar";
    case ROLE_SYSTEM_STATICTEXT:
      return "statictext";
    case ROLE_SYSTEM_PUSHBUTTON:
      return "pushbutton";
    case ROLE_SYSTEM_RADIOBUTTON:
      return "radiobutton";
    case ROLE_SYSTEM_GROUPING:
      return "grouping";
    case ROLE_SYSTEM_TEXT:
      return "text";
    case ROLE_SYSTEM_PROGRESSBAR:
      return "progressbar";
    case ROLE_SYSTEM_LINK:
      return "link";
    case ROLE_SYSTEM_GRAPHIC:
      return "graphic";
    case ROLE_SYSTEM_SCROLLBAR:
      return "scrollbar";
  }
  return "role" + std::to_string(Role);
}

std::string StateNames(long State) {
  static const struct {
    long Bit;
    const char* Name;
  } names[] = {{STATE_SYSTEM_UNAVAILABLE, "unavailable"}, {STATE_SYSTEM_CHECKED, "checked"},
               {STATE_SYSTEM_FOCUSABLE, "focusable"},     {STATE_SYSTEM_FOCUSED, "focused"},
               {STATE_SYSTEM_READONLY, "readonly"},       {STATE_SYSTEM_LINKED, "linked"},
               {STATE_SYSTEM_INVISIBLE, "invisible"}};
  std::string out;
  for (const auto& n : names)
    if (State & n.Bit) out += std::string(" ") + n.Name;
  return out;
}

void PrintOne(IAccessible* A, long Child, int Depth) {
  VARIANT id;
  VariantInit(&id);
  id.vt = VT_I4;
  id.lVal = Child;
  VARIANT role, state;
  VariantInit(&role);
  VariantInit(&state);
  BSTR name = nullptr, value = nullptr;
  A->get_accRole(id, &role);
  A->get_accState(id, &state);
  A->get_accName(id, &name);
  A->get_accValue(id, &value);
  std::string line(std::size_t(2 * Depth), ' ');
  line += role.vt == VT_I4 ? RoleName(role.lVal) : "?";
  line += " \"" + Take(name) + "\"";
  line += StateNames(state.vt == VT_I4 ? state.lVal : 0);
  const std::string v = Take(value);
  if (!v.empty()) line += " = \"" + v + "\"";
  std::printf("%s\n", line.c_str());
  VariantClear(&role);
  VariantClear(&state);
}

void Walk(IAccessible* A, int Depth) {
  PrintOne(A, CHILDID_SELF, Depth);
  long count = 0;
  if (FAILED(A->get_accChildCount(&count)) || count <= 0) return;
  VARIANT children[64];
  long got = 0;
  if (FAILED(AccessibleChildren(A, 0, count < 64 ? count : 64, children, &got))) return;
  for (long i = 0; i < got; ++i) {
    if (children[i].vt == VT_DISPATCH && children[i].pdispVal) {
      IAccessible* child = nullptr;
      if (SUCCEEDED(children[i].pdispVal->QueryInterface(kIAccessible,
                                                         reinterpret_cast<void**>(&child)))) {
        Walk(child, Depth + 1);
        child->Release();
      }
    } else if (children[i].vt == VT_I4) {
      PrintOne(A, children[i].lVal, Depth + 1);
    }
    VariantClear(&children[i]);
  }
}

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HWND form = nullptr;
  for (int i = 0; i < 300 && !form; ++i) {
    form = FindWindowW(L"TForm1", nullptr);
    if (!form) Sleep(100);
  }
  if (!form) {
    std::fprintf(stderr, "a11y_walk: no main window\n");
    return 1;
  }
  IAccessible* root = nullptr;
  const HRESULT hr = AccessibleObjectFromWindow(form, DWORD(OBJID_CLIENT), kIAccessible,
                                                reinterpret_cast<void**>(&root));
  if (FAILED(hr) || !root) {
    std::fprintf(stderr, "a11y_walk: no object for the window (0x%08lx)\n", long(hr));
    return 1;
  }
  Walk(root, 0);
  root->Release();
  std::fflush(stdout);
  CoUninitialize();
  return 0;
}
