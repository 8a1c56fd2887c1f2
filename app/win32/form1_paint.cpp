// The skin of the Win32 window, drawn with GDI from the theme's colours and
// the shared pictures.
#include <algorithm>

#include "app/application.h"
#include "app/controls_logic.h"
#include "app/graphics/glyph.h"
#include "app/graphics/skin_pictures.h"
#include "app/skin_colours.h"
#include "app/win32/dpi.h"
#include "app/win32/form1.h"
#include "app/win32/wide.h"

namespace {

using namespace Form1Layout;

// The skin's own measures, in 96-DPI units like the layout.
constexpr int kLine = 1;           // frames and borders
constexpr int kLogRadius = 4;      // the log's frame
constexpr int kPanelRadius = 5;    // the radio group, the progress bar, the buttons
constexpr int kProgressInset = 2;  // the fill inside the progress bar's track

COLORREF Ref(TRgb c) {
  return RGB(c.R, c.G, c.B);
}

// A face the system has itself: one it substitutes for the name reads back
// under another.
bool Installed(const std::wstring& Face) {
  constexpr int kProbePixels = 12;  // any size names the face
  HFONT font = CreateFontW(-kProbePixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                           Face.c_str());
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  wchar_t got[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, got);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(font);
  return _wcsicmp(got, Face.c_str()) == 0;
}

// The first installed family of the font's list, as the other front-end picks
// it, Pixels high.
HFONT MakeFont(const TSkinFont& Font, int Pixels) {
  std::wstring face = Wide(Font.Families[0]);
  for (const char* const* name = Font.Families; *name; ++name) {
    if (Installed(Wide(*name))) {
      face = Wide(*name);
      break;
    }
  }
  return CreateFontW(-Pixels, 0, 0, 0, Font.Bold ? FW_BOLD : FW_NORMAL, FALSE, Font.Underline,
                     FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     ANTIALIASED_QUALITY, DEFAULT_PITCH, face.c_str());
}

// A vertical gradient over R, top colour to bottom colour.
void Gradient(HDC Dc, const RECT& R, TRgb Top, TRgb Bottom) {
  TRIVERTEX v[2] = {
      {R.left, R.top, COLOR16(Top.R << 8), COLOR16(Top.G << 8), COLOR16(Top.B << 8), 0},
      {R.right, R.bottom, COLOR16(Bottom.R << 8), COLOR16(Bottom.G << 8), COLOR16(Bottom.B << 8),
       0}};
  GRADIENT_RECT g{0, 1};
  GradientFill(Dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
}

void Fill(HDC Dc, const RECT& R, TRgb C) {
  HBRUSH b = CreateSolidBrush(Ref(C));
  FillRect(Dc, &R, b);
  DeleteObject(b);
}

// A rounded frame Width pixels wide in Pen, filled with Brush (or hollow).
void Rounded(HDC Dc, const RECT& R, TRgb Pen, const TRgb* Brush, int Radius, int Width) {
  HPEN pen = CreatePen(Width > 1 ? PS_INSIDEFRAME : PS_SOLID, Width, Ref(Pen));
  HBRUSH brush =
      Brush ? CreateSolidBrush(Ref(*Brush)) : static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  HGDIOBJ oldPen = SelectObject(Dc, pen), oldBrush = SelectObject(Dc, brush);
  RoundRect(Dc, R.left, R.top, R.right, R.bottom, 2 * Radius, 2 * Radius);
  SelectObject(Dc, oldPen);
  SelectObject(Dc, oldBrush);
  DeleteObject(pen);
  if (Brush) DeleteObject(brush);
}

// Pixels drawn with their transparency (0 alpha shows what is beneath).
void DrawPixels(HDC Dc, const TPixels& P, int X, int Y) {
  if (P.Empty()) return;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = P.Width;
  bi.bmiHeader.biHeight = -P.Height;  // top-down, as the pixels are kept
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(Dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) return;
  auto* out = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < P.Argb.size(); ++i) {
    // Premultiplied, as the blend wants it.
    const std::uint32_t c = P.Argb[i], a = c >> 24;
    const std::uint32_t r = (c >> 16 & 0xff) * a / 255, g = (c >> 8 & 0xff) * a / 255,
                        b = (c & 0xff) * a / 255;
    out[i] = a << 24 | r << 16 | g << 8 | b;
  }
  HDC mem = CreateCompatibleDC(Dc);
  HGDIOBJ old = SelectObject(mem, bmp);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(Dc, X, Y, P.Width, P.Height, mem, 0, 0, P.Width, P.Height, blend);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bmp);
}

void Text(HDC Dc, HFONT Font, TRgb Colour, const std::string& S, RECT R, UINT Format) {
  HGDIOBJ old = SelectObject(Dc, Font);
  SetTextColor(Dc, Ref(Colour));
  SetBkMode(Dc, TRANSPARENT);
  const std::wstring w = Wide(S);
  DrawTextW(Dc, w.c_str(), int(w.size()), &R, Format | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(Dc, old);
}

// A picture made at 96 DPI, grown to Dpi from the source pixels (unchanged at 96).
TPixels AtDpi(const TPixels& P, UINT Dpi) {
  if (Dpi == DesignDpi || P.Empty()) return P;
  return ScaleBilinear(P, ToPixels(P.Width, Dpi), ToPixels(P.Height, Dpi));
}

}  // namespace

void TForm1::MakeFonts() {
  const auto make = [this](const TSkinFont& f) { return TFont(MakeFont(f, Px(f.Pixels))); };
  titleFont_ = make(SkinFonts::Title);
  groupFont_ = make(SkinFonts::Group);
  buttonFont_ = make(SkinFonts::Button);
  linkFont_ = make(SkinFonts::Link);
  windowFont_ = make(SkinFonts::WindowText);
  // The log's font goes only once the edit control has the new one.
  TFont log = make(SkinFonts::Log);
  if (memo_) SendMessageW(memo_, WM_SETFONT, reinterpret_cast<WPARAM>(log.get()), FALSE);
  logFont_ = std::move(log);
}

void TForm1::MakePictures() {
  TPictures& p = pictures_;
  p.TitleLeft = AtDpi(TitleLeftPicture.Pixels(), dpi_);
  p.TitleMiddle = AtDpi(TitleMiddlePicture.Pixels(), dpi_);
  p.TitleRight = AtDpi(TitleRightPicture.Pixels(), dpi_);
  p.StretchedMiddle = {};
  // Stretched over its panel straight from the source, in one step.
  p.Banner = ScaleBilinear(BannerPicture.Pixels(), Px(Banner.Left + Banner.Width) - Px(Banner.Left),
                           Px(Banner.Top + Banner.Height) - Px(Banner.Top));
  p.Icon = AtDpi(GlyphPixels(icon_.Pixels(), true), dpi_);
  for (int k = 0; k < tbCount; ++k)
    for (int s = 0; s < tsCount; ++s)
      p.TitleButtons[k][s] = AtDpi(TitleButtonPictures[k][s].Pixels(), dpi_);
  MakeGlyphs();
}

void TForm1::MakeGlyphs() {
  const TBitmap* glyphs[] = {&glyph1_, &glyph2_};
  for (int b = 0; b < 2; ++b)
    for (int enabled = 0; enabled < 2; ++enabled)
      pictures_.Glyphs[b][enabled] = AtDpi(GlyphPixels(glyphs[b]->Pixels(), enabled != 0), dpi_);
}

const TPixels& TForm1::TitleMiddle(int Width) {
  TPixels& m = pictures_.StretchedMiddle;
  if (m.Width != Width || m.Height != pictures_.TitleMiddle.Height)
    m = ScaleBilinear(pictures_.TitleMiddle, Width, pictures_.TitleMiddle.Height);
  return m;
}

void TForm1::Paint(HDC Target) {
  RECT client;
  GetClientRect(wnd_, &client);
  // Drawn off-screen first, so that nothing flickers.
  HDC dc = CreateCompatibleDC(Target);
  HBITMAP canvas = CreateCompatibleBitmap(Target, client.right, client.bottom);
  HGDIOBJ old = SelectObject(dc, canvas);

  Gradient(dc, client, {246, 250, 251}, {233, 241, 243});
  PaintTitleBar(dc, client.right);
  PaintControls(dc);
  // The frame's 1-unit black border, square corners.
  const int line = Px(kLine);
  for (const RECT& edge :
       {RECT{0, 0, client.right, line}, RECT{0, client.bottom - line, client.right, client.bottom},
        RECT{0, 0, line, client.bottom}, RECT{client.right - line, 0, client.right, client.bottom}})
    Fill(dc, edge, SkinColours::Border);

  BitBlt(Target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, old);
  DeleteObject(canvas);
  DeleteDC(dc);
}

void TForm1::PaintTitleBar(HDC Dc, int Width) {
  // Left and right at their own sizes, the middle stretched over what is
  // between; at the window's normal width the two outer pictures overlap.
  const TPictures& p = pictures_;
  DrawPixels(Dc, p.TitleLeft, 0, 0);
  const int gap = Width - p.TitleLeft.Width - p.TitleRight.Width;
  if (gap > 0) DrawPixels(Dc, TitleMiddle(gap), p.TitleLeft.Width, 0);
  DrawPixels(Dc, p.TitleRight, Width - p.TitleRight.Width, 0);

  const int mid =
      Px(TitleButtonTop) + (Px(TitleButtonTop + TitleButtonSize) - Px(TitleButtonTop)) / 2;
  DrawPixels(Dc, p.Icon, Px(TitleIconLeft), mid - p.Icon.Height / 2);
  Text(Dc, titleFont_.get(), SkinColours::Accent, ApplicationTitle, TitleTextRect(Width),
       DT_LEFT | DT_VCENTER);

  // Right to left: close, maximise, minimise, window menu.
  const THot order[] = {htClose, htMaximize, htMinimize, htMenu};
  const TTitleButtonPicture kinds[] = {tbClose, maximized_ ? tbRestore : tbMaximize, tbMinimize,
                                       tbMenu};
  for (int i = 0; i < 4; ++i) {
    const TTitleButtonState state =
        hot_ == order[i] ? (pressed_ == order[i] ? tsPressed : tsHover) : tsNormal;
    const RECT r = TitleButtonRect(i, Width);
    DrawPixels(Dc, p.TitleButtons[kinds[i]][state], r.left, r.top);
  }
}

void TForm1::PaintControls(HDC Dc) {
  const POINT o = Origin();
  // The banner, stretched over its panel.
  const RECT banner = Px(Banner, o);
  DrawPixels(Dc, pictures_.Banner, banner.left, banner.top);

  // The log area's frame, around the edit control set 1 unit inside it.
  const int line = Px(kLine);
  Rounded(Dc, Px(Memo1, o), SkinColours::Line, &SkinColours::Panel, Px(kLogRadius), line);

  // The radio group's frame.
  Rounded(Dc, Px(RadioGroup, o), SkinColours::Line, &SkinColours::Panel, Px(kPanelRadius), line);

  // The progress bar: track, fill from the left, the caption centred in black.
  const RECT bar = Px(ProgressBar1, o);
  Gradient(Dc, bar, {229, 237, 239}, {250, 252, 252});
  Rounded(Dc, bar, {184, 205, 210}, nullptr, Px(kPanelRadius), line);
  const int inset = Px(kProgressInset);
  const int fill =
      ProgressFillWidth(position_, min_, max_, std::max(0, int(bar.right - bar.left) - 2 * inset));
  if (fill > 0) {
    const RECT f{bar.left + inset, bar.top + inset, bar.left + inset + fill, bar.bottom - inset};
    Gradient(Dc, {f.left, f.top, f.right, (f.top + f.bottom) / 2}, {126, 196, 208},
             SkinColours::AccentLight);
    Gradient(Dc, {f.left, (f.top + f.bottom) / 2, f.right, f.bottom}, SkinColours::AccentLight,
             SkinColours::Accent);
  }
  Text(Dc, windowFont_.get(), {0, 0, 0},
       std::to_string(ProgressPercent(position_, min_, max_)) + "%", bar, DT_CENTER | DT_VCENTER);

  // The link label: blue, red while the mouse is over it.
  Text(Dc, linkFont_.get(), hot_ == htLink ? SkinColours::LinkHover : SkinColours::LinkText,
       LinkCaption, Px(URLLabel1, o), DT_CENTER | DT_VCENTER);
}

void TForm1::DrawButton(const DRAWITEMSTRUCT& Item) {
  const bool first = Item.hwndItem == button1_;
  const bool down = Item.itemState & ODS_SELECTED;
  const bool disabled = Item.itemState & ODS_DISABLED;
  const bool focused = Item.itemState & ODS_FOCUS;
  HDC dc = Item.hDC;
  const RECT r = Item.rcItem;
  Gradient(dc, r, {246, 250, 251}, {233, 241, 243});
  TRgb top{255, 255, 255}, bottom{231, 240, 242}, border{190, 208, 213};
  if (down) top = {206, 227, 232}, bottom = {229, 240, 243}, border = SkinColours::Accent;
  if (disabled) top = bottom = {240, 243, 244}, border = SkinColours::Line;
  if (focused && !down) border = SkinColours::AccentLight;
  RECT face = r;
  Gradient(dc, {face.left + 1, face.top + 1, face.right - 1, face.bottom - 1}, top, bottom);
  const int line = Px(kLine);
  Rounded(dc, face, border, nullptr, Px(kPanelRadius), line);

  const TPixels& pixels = pictures_.Glyphs[first ? 0 : 1][disabled ? 0 : 1];
  const std::string& caption = first ? caption1_ : caption2_;
  HGDIOBJ old = SelectObject(dc, buttonFont_.get());
  SIZE text{};
  const std::wstring w = Wide(caption);
  GetTextExtentPoint32W(dc, w.c_str(), int(w.size()), &text);
  SelectObject(dc, old);
  const TButtonPlaces at =
      PlaceCaptionAndGlyph(r.right - r.left, r.bottom - r.top, text.cx, text.cy, pixels.Width,
                           pixels.Height, Px(SpeedButtonSpacing));
  // Held down, caption and glyph move one unit down and right.
  const int shift = down ? line : 0;
  Text(dc, buttonFont_.get(), disabled ? SkinColours::Muted : SkinColours::Accent, caption,
       {at.CaptionLeft + shift, at.CaptionTop + shift, at.CaptionLeft + shift + text.cx,
        at.CaptionTop + shift + text.cy},
       DT_LEFT | DT_TOP);
  DrawPixels(dc, pixels, at.GlyphLeft + shift, at.GlyphTop + shift);
  // At the normal size the buttons lie on the window's left edge, where its
  // border runs above them.
  if (Origin().x == 0) Fill(dc, {r.left, r.top, r.left + line, r.bottom}, SkinColours::Border);
}

void TForm1::DrawRadio(const DRAWITEMSTRUCT& Item, int Index) {
  HDC dc = Item.hDC;
  const RECT r = Item.rcItem;
  Fill(dc, r, SkinColours::Panel);
  const bool checked = Index >= 0 && Index < int(checked_.size()) && checked_[std::size_t(Index)];
  const int indicator = Px(RadioIndicator), line = Px(kLine);
  const int top = (r.bottom - r.top - indicator) / 2;
  const RECT ring{r.left, top, r.left + indicator, top + indicator};
  HPEN pen = CreatePen(line > 1 ? PS_INSIDEFRAME : PS_SOLID, line,
                       checked ? Ref(SkinColours::Accent) : RGB(150, 180, 187));
  HBRUSH face = CreateSolidBrush((Item.itemState & ODS_SELECTED) ? RGB(214, 234, 238)
                                                                 : Ref(SkinColours::Panel));
  HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, face);
  Ellipse(dc, ring.left, ring.top, ring.right, ring.bottom);
  if (checked) {
    HBRUSH dot = CreateSolidBrush(Ref(SkinColours::Accent));
    HGDIOBJ n = SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, dot);
    const int inset = indicator * 28 / 100;
    Ellipse(dc, ring.left + inset, ring.top + inset, ring.right - inset + line,
            ring.bottom - inset + line);
    SelectObject(dc, n);
    SelectObject(dc, face);
    DeleteObject(dot);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(pen);
  DeleteObject(face);
  const int textLeft = r.left + Px(RadioIndicator + RadioGap);
  Text(dc, groupFont_.get(), SkinColours::Accent, Radios[std::size_t(Index)].Caption,
       {textLeft, r.top, r.right, r.bottom}, DT_LEFT | DT_VCENTER);
  if (Item.itemState & ODS_FOCUS) {
    RECT f{textLeft - line, r.top, r.right, r.bottom};
    DrawFocusRect(dc, &f);
  }
}
