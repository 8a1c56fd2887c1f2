// The pictures the skin is built from, drawn once by the theme's painter and
// kept here as data, so that every front-end shows the same pixels:
// app/qt/shot/skin_pictures_gen.cpp writes skin_pictures_data.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/graphics/bitmap.h"

struct TSkinPicture {
  int Width, Height;
  // Runs of equal pixels: a count, then the pixel (0xAARRGGBB, not premultiplied).
  const std::uint32_t* Runs;
  std::size_t RunWords;

  TPixels Pixels() const;
};

enum TTitleButtonPicture { tbMenu, tbClose, tbMaximize, tbRestore, tbMinimize, tbCount };
enum TTitleButtonState { tsNormal, tsHover, tsPressed, tsCount };

extern const TSkinPicture TitleLeftPicture;    // 323 x 50, drawn at its own size
extern const TSkinPicture TitleMiddlePicture;  // 58 x 50, stretched between the two
extern const TSkinPicture TitleRightPicture;   // 159 x 50, drawn at its own size
extern const TSkinPicture TitleButtonPictures[tbCount][tsCount];  // 28 x 28 each
extern const TSkinPicture BannerPicture;  // 305 x 50, stretched over its panel

// Pixels scaled to Width x Height, each output pixel the bilinear blend of the
// four source pixels around its centre (edges repeat), colours weighted by
// alpha; a fully transparent result is 0x00000000.
TPixels ScaleBilinear(const TPixels& Source, int Width, int Height);
