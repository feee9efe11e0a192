#include "KVX/VisibleBounds.h"

#include <algorithm>

namespace ostrel {

TexelBounds visibleBounds(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                          std::int32_t margin) {
  TexelBounds b{width, height, 0, 0};
  if (!pixels || width <= 0 || height <= 0) return TexelBounds{};
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
    for (std::int32_t x = 0; x < width; ++x) {
      if (row[x * 4 + 3] == 0) continue;
      b.left = std::min(b.left, x);
      b.right = std::max(b.right, x + 1);
      b.top = std::min(b.top, y);
      b.bottom = std::max(b.bottom, y + 1);
    }
  }
  if (b.empty()) return TexelBounds{};
  b.left = std::max(b.left - margin, 0);
  b.top = std::max(b.top - margin, 0);
  b.right = std::min(b.right + margin, width);
  b.bottom = std::min(b.bottom + margin, height);
  return b;
}

}  // namespace ostrel
