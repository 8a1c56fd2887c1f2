// Prints a text another program's window shows, for the desktop walk:
//   read_window window TITLE CLASS [ID]  the text of the first CLASS child
//                                        (with control id ID) of the top-level
//                                        window titled TITLE that is no dialog
//   read_window box TITLE                the text of the message box titled TITLE
// The text goes to standard output as UTF-8, each CR LF as LF, with nothing
// added. Exit code 1 when the window or child is not there.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "tests/win32/window_texts.h"

using namespace window_texts;

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (!((mode == L"window" && (argc == 4 || argc == 5)) || (mode == L"box" && argc == 3))) {
    std::fputs("usage: read_window window TITLE CLASS [ID] | box TITLE\n", stderr);
    return 2;
  }
  std::wstring text;
  if (mode == L"box") {
    const HWND box = TopLevel(L"#32770", argv[2]);
    if (!box) return 1;
    text = MessageBoxText(box);
  } else {
    const HWND top = TopLevel(L"", argv[2]);
    const HWND child = top ? Child(top, argv[3], argc == 5 ? _wtoi(argv[4]) : 0) : nullptr;
    if (!child) return 1;
    text = Text(child);
  }
  std::string out = Utf8(text);
  for (size_t at = 0; (at = out.find("\r\n", at)) != std::string::npos;) out.erase(at, 1);
  // Bytes as they are: no LF becomes CR LF on the way out.
  _setmode(_fileno(stdout), _O_BINARY);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
