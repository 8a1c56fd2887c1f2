// The skin of the Win32 window, drawn with GDI from the theme's colours and
// the shared pictures.
#include <algorithm>

#include "app/application.h"
#include "app/controls_logic.h"
#include "app/graphics/glyph.h"
#include "app/graphics/skin_pictures.h"
#include "app/skin_colours.h"
#include "app/win32/form1.h"
#include "app/win32/wide.h"

namespace {

using namespace Form1Layout;

COLORREF Ref(TRgb c) {
  return RGB(c.R, c.G, c.B);
}

// A face the system has itself: one it substitutes for the name reads back
// under another.
bool Installed(const std::wstring& Face) {
  HFONT font =
      CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, Face.c_str());
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  wchar_t got[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, got);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(font);
  return _wcsicmp(got, Face.c_str()) == 0;
}

// The first installed family of the font's list, as the other front-end picks it.
HFONT MakeFont(const TSkinFont& Font) {
  std::wstring face = Wide(Font.Families[0]);
  for (const char* const* name = Font.Families; *name; ++name) {
    if (Installed(Wide(*name))) {
      face = Wide(*name);
      break;
    }
  }
  return CreateFontW(-Font.Pixels, 0, 0, 0, Font.Bold ? FW_BOLD : FW_NORMAL, FALSE, Font.Underline,
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

// A rounded frame in Pen, filled with Brush (or hollow).
void Rounded(HDC Dc, const RECT& R, TRgb Pen, const TRgb* Brush, int Radius) {
  HPEN pen = CreatePen(PS_SOLID, 1, Ref(Pen));
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

RECT At(POINT O, TRect R) {
  return {O.x + R.Left, O.y + R.Top, O.x + R.Left + R.Width, O.y + R.Top + R.Height};
}

// The pictures as drawn, made once.
struct TSkin {
  TPixels Left = TitleLeftPicture.Pixels(), Middle = TitleMiddlePicture.Pixels(),
          Right = TitleRightPicture.Pixels();
  TPixels Banner =
      ScaleBilinear(BannerPicture.Pixels(), Form1Layout::Banner.Width, Form1Layout::Banner.Height);
  TPixels Buttons[tbCount][tsCount];
  TSkin() {
    for (int k = 0; k < tbCount; ++k)
      for (int s = 0; s < tsCount; ++s) Buttons[k][s] = TitleButtonPictures[k][s].Pixels();
  }
};

const TSkin& Skin() {
  static const TSkin skin;
  return skin;
}

}  // namespace

void TForm1::MakeFonts() {
  titleFont_ = MakeFont(SkinFonts::Title);
  groupFont_ = MakeFont(SkinFonts::Group);
  buttonFont_ = MakeFont(SkinFonts::Button);
  logFont_ = MakeFont(SkinFonts::Log);
  linkFont_ = MakeFont(SkinFonts::Link);
  windowFont_ = MakeFont(SkinFonts::WindowText);
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
  // The frame's 1-pixel black border, square corners.
  HBRUSH black = CreateSolidBrush(Ref(SkinColours::Border));
  FrameRect(dc, &client, black);
  DeleteObject(black);

  BitBlt(Target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, old);
  DeleteObject(canvas);
  DeleteDC(dc);
}

void TForm1::PaintTitleBar(HDC Dc, int Width) {
  // Left and right at their own sizes, the middle stretched over what is
  // between; at the window's normal width the two outer pictures overlap.
  const TSkin& skin = Skin();
  DrawPixels(Dc, skin.Left, 0, 0);
  const int gap = Width - skin.Left.Width - skin.Right.Width;
  if (gap > 0) DrawPixels(Dc, ScaleBilinear(skin.Middle, gap, TitleBarHeight), skin.Left.Width, 0);
  DrawPixels(Dc, skin.Right, Width - skin.Right.Width, 0);

  const int mid = TitleButtonTop + TitleButtonSize / 2;
  DrawPixels(Dc, GlyphPixels(icon_.Pixels(), true), TitleIconLeft, mid - icon_.Height() / 2);
  const int menuLeft = Width - TitleRightMargin - 4 * TitleButtonSize - 3 * TitleButtonGap;
  Text(Dc, titleFont_, SkinColours::Accent, ApplicationTitle,
       {TitleTextLeft, TitleButtonTop, menuLeft - 8, TitleButtonTop + TitleButtonSize},
       DT_LEFT | DT_VCENTER);

  // Right to left: close, maximise, minimise, window menu.
  const THot order[] = {htClose, htMaximize, htMinimize, htMenu};
  const TTitleButtonPicture kinds[] = {tbClose, maximized_ ? tbRestore : tbMaximize, tbMinimize,
                                       tbMenu};
  int x = Width - TitleRightMargin - TitleButtonSize;
  for (int i = 0; i < 4; ++i) {
    const TTitleButtonState state =
        hot_ == order[i] ? (pressed_ == order[i] ? tsPressed : tsHover) : tsNormal;
    DrawPixels(Dc, skin.Buttons[kinds[i]][state], x, TitleButtonTop);
    x -= TitleButtonSize + TitleButtonGap;
  }
}

void TForm1::PaintControls(HDC Dc) {
  const POINT o = Origin();
  // The banner, stretched over its panel.
  DrawPixels(Dc, Skin().Banner, o.x + Banner.Left, o.y + Banner.Top);

  // The log area's frame, around the edit control set 1 pixel inside it.
  Rounded(Dc, At(o, Memo1), SkinColours::Line, &SkinColours::Panel, 4);

  // The radio group's frame.
  Rounded(Dc, At(o, RadioGroup), SkinColours::Line, &SkinColours::Panel, 5);

  // The progress bar: track, fill from the left, the caption centred in black.
  const RECT bar = At(o, ProgressBar1);
  Gradient(Dc, bar, {229, 237, 239}, {250, 252, 252});
  Rounded(Dc, bar, {184, 205, 210}, nullptr, 5);
  const int inset = 2;
  const int fill =
      ProgressFillWidth(position_, min_, max_, std::max(0, int(bar.right - bar.left) - 2 * inset));
  if (fill > 0) {
    const RECT f{bar.left + inset, bar.top + inset, bar.left + inset + fill, bar.bottom - inset};
    Gradient(Dc, {f.left, f.top, f.right, (f.top + f.bottom) / 2}, {126, 196, 208},
             SkinColours::AccentLight);
    Gradient(Dc, {f.left, (f.top + f.bottom) / 2, f.right, f.bottom}, SkinColours::AccentLight,
             SkinColours::Accent);
  }
  Text(Dc, windowFont_, {0, 0, 0}, std::to_string(ProgressPercent(position_, min_, max_)) + "%",
       bar, DT_CENTER | DT_VCENTER);

  // The link label: blue, red while the mouse is over it.
  Text(Dc, linkFont_, hot_ == htLink ? SkinColours::LinkHover : SkinColours::LinkText, LinkCaption,
       At(o, URLLabel1), DT_CENTER | DT_VCENTER);
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
  Rounded(dc, face, border, nullptr, 5);

  const TBitmap& glyph = first ? glyph1_ : glyph2_;
  const TPixels pixels = GlyphPixels(glyph.Pixels(), !disabled);
  const std::string& caption = first ? caption1_ : caption2_;
  HGDIOBJ old = SelectObject(dc, buttonFont_);
  SIZE text{};
  const std::wstring w = Wide(caption);
  GetTextExtentPoint32W(dc, w.c_str(), int(w.size()), &text);
  SelectObject(dc, old);
  const TButtonPlaces at = PlaceCaptionAndGlyph(r.right - r.left, r.bottom - r.top, text.cx,
                                                text.cy, pixels.Width, pixels.Height);
  // Held down, caption and glyph move one pixel down and right.
  const int shift = down ? 1 : 0;
  Text(dc, buttonFont_, disabled ? SkinColours::Muted : SkinColours::Accent, caption,
       {at.CaptionLeft + shift, at.CaptionTop + shift, at.CaptionLeft + shift + text.cx,
        at.CaptionTop + shift + text.cy},
       DT_LEFT | DT_TOP);
  DrawPixels(dc, pixels, at.GlyphLeft + shift, at.GlyphTop + shift);
  // At the normal size the buttons lie on the window's left edge, where its
  // border runs above them.
  if (Origin().x == 0) Fill(dc, {r.left, r.top, r.left + 1, r.bottom}, SkinColours::Border);
}

void TForm1::DrawRadio(const DRAWITEMSTRUCT& Item, int Index) {
  HDC dc = Item.hDC;
  const RECT r = Item.rcItem;
  Fill(dc, r, SkinColours::Panel);
  const bool checked = Index >= 0 && Index < int(checked_.size()) && checked_[std::size_t(Index)];
  const int top = (r.bottom - r.top - RadioIndicator) / 2;
  const RECT ring{r.left, top, r.left + RadioIndicator, top + RadioIndicator};
  HPEN pen = CreatePen(PS_SOLID, 1, checked ? Ref(SkinColours::Accent) : RGB(150, 180, 187));
  HBRUSH face = CreateSolidBrush((Item.itemState & ODS_SELECTED) ? RGB(214, 234, 238)
                                                                 : Ref(SkinColours::Panel));
  HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, face);
  Ellipse(dc, ring.left, ring.top, ring.right, ring.bottom);
  if (checked) {
    HBRUSH dot = CreateSolidBrush(Ref(SkinColours::Accent));
    HGDIOBJ n = SelectObject(dc, GetStockObject(NULL_PEN));
    SelectObject(dc, dot);
    const int inset = RadioIndicator * 28 / 100;
    Ellipse(dc, ring.left + inset, ring.top + inset, ring.right - inset + 1,
            ring.bottom - inset + 1);
    SelectObject(dc, n);
    SelectObject(dc, face);
    DeleteObject(dot);
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(pen);
  DeleteObject(face);
  Text(dc, groupFont_, SkinColours::Accent, Radios[std::size_t(Index)].Caption,
       {r.left + RadioIndicator + RadioGap, r.top, r.right, r.bottom}, DT_LEFT | DT_VCENTER);
  if (Item.itemState & ODS_FOCUS) {
    RECT f{r.left + RadioIndicator + RadioGap - 1, r.top, r.right, r.bottom};
    DrawFocusRect(dc, &f);
  }
}
