#include "app/controls_logic.h"

#include <cmath>

long long ProgressPercent(int position, int min, int max) {
  if (max == min) return 0;
  // In double: the differences of two ints can exceed int.
  const double pct = 100.0 * (double(position) - min) / (double(max) - min);
  return static_cast<long long>(std::trunc(pct));
}

int ProgressFillWidth(int position, int min, int max, int width) {
  if (min >= max || min >= position) return 0;
  if (position > max) return width;
  const double fill = (double(position) - min) / (double(max) - min) * width;
  return static_cast<int>(std::trunc(fill));
}

std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

std::optional<ContentType> CheckedContentType(std::span<const bool> Checked) {
  const auto types = ContentTypes();
  for (std::size_t i = 0; i < Checked.size() && i < types.size(); ++i)
    if (Checked[i]) return types[i].type;
  return std::nullopt;
}
