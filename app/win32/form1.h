// The main window on Win32: the content-type radio buttons, the
// Connect/Disconnect and Receive buttons, the log area, the progress bar, the
// banner and the link label, under the skin's own title bar and inside its
// 1-pixel frame, with the serial port. The shared commands run the buttons;
// closing the window ends a running download before the port goes.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "app/form1_commands.h"
#include "app/form1_layout.h"
#include "app/graphics/bitmap.h"
#include "app/graphics/skin_pictures.h"
#include "app/win32/accessible.h"
#include "app/win32/dpi.h"
#include "app/win32/window_view.h"
#include "app/win32/windows_api.h"
#include "download/content_type.h"
#include "serial/component/com_port.h"

class TForm1 : private TForm1Controls, private TAccessibleParts, public TViewWindow {
 public:
  TForm1();
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND Handle() const { return wnd_; }
  void Show(int CmdShow);

  // What the download's view carries to the window, on its thread.
  void AddLine(const std::string& Line);
  void SetProgress(std::optional<int> Position, std::optional<int> Min, std::optional<int> Max);
  void ProgressStepBy(int Delta);
  std::optional<ContentType> CheckedContentType() const;

  TRivuComPort RivuComPort1;

 private:
  // A title bar button or other spot the mouse can be over.
  enum THot { htNone, htMenu, htMinimize, htMaximize, htClose, htLink };

  static LRESULT CALLBACK Proc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  LRESULT Handle(UINT Msg, WPARAM WParam, LPARAM LParam);
  void CreateControls();
  void RunCommand(void (TForm1Commands::*Command)());
  void ShowException(const std::string& Message);
  void ToggleMaximized();
  void ShowWindowMenu(POINT At);
  void ShowWindowMenuAtButton();  // under the title bar's menu button
  THot HitTest(POINT Client) const;
  POINT Origin() const;  // where the designed client area sits in the window
  // Title bar button I (0 is the rightmost) in a client area Width pixels wide.
  RECT TitleButtonRect(int I, int Width) const;
  RECT TitleTextRect(int Width) const;  // the title, left of the buttons
  void Layout();

  // The scale (dpi.h): 96-DPI units to pixels at the window's DPI.
  int Px(int Units) const;
  RECT Px(Form1Layout::TRect R, POINT Origin = {0, 0}) const;
  // Fonts and pictures made for Dpi, the children placed, the window repainted.
  void ApplyDpi(UINT Dpi);
  void DpiChanged(UINT Dpi, const RECT& Suggested);

  // What a screen reader reads (form1_accessible.cpp): the parts in reading
  // order, the child windows among them.
  enum TReadingOrder : std::size_t {
    roTitle,
    roMenu,
    roMinimize,
    roMaximize,
    roClose,
    roBanner,
    roTypes,
    roConnect,
    roReceive,
    roLog,
    roProgress,
    roLink,
    roCount
  };
  std::vector<TAccessibleItem> AccessibleItems() const override;
  LRESULT AnswerGetObject(WPARAM WParam, LPARAM LParam);
  // Tells readers a part changed (EVENT_OBJECT_NAMECHANGE, ...).
  void TellReaders(DWORD Event, TReadingOrder Part) const;

  // Painting (form1_paint.cpp).
  void Paint(HDC Dc);
  void PaintTitleBar(HDC Dc, int Width);
  void PaintControls(HDC Dc);
  void DrawButton(const DRAWITEMSTRUCT& Item);
  void DrawRadio(const DRAWITEMSTRUCT& Item, int Index);
  void MakeFonts();
  void MakePictures();
  void MakeGlyphs();
  const TPixels& TitleMiddle(int Width);

  // The controls the commands touch.
  void MemoClear() override;
  void MemoSetText(std::string_view Text) override;
  TBitmap& ConnectGlyph() override { return glyph1_; }
  void ConnectGlyphChanged() override;
  void SetConnectCaption(std::string_view Caption) override;
  void CancelPrompts() override;
  void ProcessEventsUntil(const std::function<bool()>& Done) override;

  HWND wnd_ = nullptr;
  HWND memo_ = nullptr;
  HWND button1_ = nullptr, button2_ = nullptr;
  std::array<HWND, 4> radios_{};
  std::array<bool, 4> checked_{};
  std::string caption1_, caption2_;
  TBitmap glyph1_, glyph2_, icon_;
  int position_ = 0, min_ = 0, max_ = 100;
  THot hot_ = htNone, pressed_ = htNone;
  bool tracking_ = false;
  bool maximized_ = false;
  RECT normal_{};  // where the window was before it was maximised
  struct TDeleteObject {
    void operator()(HGDIOBJ Object) const { DeleteObject(Object); }
  };
  using TFont = std::unique_ptr<std::remove_pointer_t<HFONT>, TDeleteObject>;
  UINT dpi_ = DesignDpi;
  // Made for dpi_, and again only when it changes.
  TFont titleFont_, groupFont_, buttonFont_, logFont_, linkFont_, windowFont_;
  struct TPictures {
    TPixels TitleLeft, TitleMiddle, TitleRight, Banner, Icon;
    TPixels TitleButtons[tbCount][tsCount];
    TPixels Glyphs[2][2];     // [Connect, Receive][disabled, enabled]
    TPixels StretchedMiddle;  // the middle over the gap it last filled
  } pictures_;
  HBRUSH memoBrush_ = nullptr;
  std::unique_ptr<TAccessibleWindow> accessible_;  // made when a reader first asks

  // Declared after the port, so that they go first; the task in the commands
  // goes before the view it reports to.
  std::unique_ptr<TWindowView> view_;
  std::unique_ptr<TForm1Commands> commands_;
};
