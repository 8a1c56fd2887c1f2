// Start-up on Windows: the glyph streams already exist (static objects), then
// the common controls, the serial component's platform, the main window and
// the message loop.
#include "app/win32/windows_api.h"
// After the API itself, which it builds on.
#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <string>

#include "app/application.h"
#include "app/controls_logic.h"
#include "app/win32/form1.h"
#include "app/win32/wide.h"
#include "app/win32/win32_platform.h"

namespace {

// COM on the window's thread, a single-threaded apartment: the objects that
// screen readers ask about the window are handed out and called here.
struct TComApartment {
  const bool Entered = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  ~TComApartment() {
    if (Entered) CoUninitialize();
  }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int CmdShow) {
  const TComApartment com;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  TWin32SerialPlatform platform;
  std::string failure;
  try {
    // Before the window: its port component takes the platform when created.
    SetSerialPlatform(&platform);
    int code = 0;
    {
      // The window and its port go while the platform is still installed.
      TForm1 Form1;
      platform.SetOwner(Form1.Handle());
      Form1.Show(CmdShow);
      MSG m{};
      BOOL got = 1;
      // Until the window is gone: its end, not only the quit message it
      // posts, ends the loop.
      while (Form1.Handle() && (got = GetMessageW(&m, nullptr, 0, 0)) > 0) {
        // Tab moves between the controls, as in a dialog.
        if (IsDialogMessageW(Form1.Handle(), &m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
      }
      code = got < 0 ? 1 : got == 0 ? int(m.wParam) : 0;
    }
    SetSerialPlatform(nullptr);
    return code;
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    // Not one of ours: nothing meaningful to show.
  }
  SetSerialPlatform(nullptr);
  MessageBoxW(nullptr, Wide(ErrorBoxText(failure)).c_str(), Wide(ApplicationTitle).c_str(),
              MB_OK | MB_ICONERROR);
  return 1;
}
