#include "app/graphics/skin_pictures.h"

#include <algorithm>
#include <cmath>

TPixels TSkinPicture::Pixels() const {
  TPixels p;
  p.Width = Width;
  p.Height = Height;
  p.Argb.reserve(std::size_t(Width) * std::size_t(Height));
  for (std::size_t i = 0; i + 1 < RunWords; i += 2)
    p.Argb.insert(p.Argb.end(), Runs[i], Runs[i + 1]);
  p.Argb.resize(std::size_t(Width) * std::size_t(Height));
  return p;
}

TPixels ScaleBilinear(const TPixels& Source, int Width, int Height) {
  TPixels out;
  if (Source.Empty() || Width <= 0 || Height <= 0) return out;
  out.Width = Width;
  out.Height = Height;
  out.Argb.resize(std::size_t(Width) * std::size_t(Height));
  const double sx = double(Source.Width) / Width, sy = double(Source.Height) / Height;
  for (int y = 0; y < Height; ++y) {
    const double fy = std::clamp((y + 0.5) * sy - 0.5, 0.0, double(Source.Height - 1));
    const int y0 = int(fy), y1 = std::min(y0 + 1, Source.Height - 1);
    const double wy = fy - y0;
    for (int x = 0; x < Width; ++x) {
      const double fx = std::clamp((x + 0.5) * sx - 0.5, 0.0, double(Source.Width - 1));
      const int x0 = int(fx), x1 = std::min(x0 + 1, Source.Width - 1);
      const double wx = fx - x0;
      // Colours weighted by their alpha, so that the colour of a transparent
      // neighbour (often black) does not darken the edge of what is drawn.
      const std::uint32_t corners[4] = {Source.At(x0, y0), Source.At(x1, y0), Source.At(x0, y1),
                                        Source.At(x1, y1)};
      const double weights[4] = {(1 - wx) * (1 - wy), wx * (1 - wy), (1 - wx) * wy, wx * wy};
      double alpha = 0, colour[3] = {0, 0, 0};
      for (int i = 0; i < 4; ++i) {
        const double a = double(corners[i] >> 24) * weights[i];
        alpha += a;
        for (int c = 0; c < 3; ++c) colour[c] += double(corners[i] >> (8 * c) & 0xff) * a;
      }
      std::uint32_t pixel = std::uint32_t(std::lround(alpha)) << 24;
      if (alpha > 0)
        for (int c = 0; c < 3; ++c)
          pixel |= std::uint32_t(std::clamp(std::lround(colour[c] / alpha), 0L, 255L)) << (8 * c);
      out.Argb[std::size_t(y) * std::size_t(Width) + std::size_t(x)] = pixel;
    }
  }
  return out;
}
