#include "KVX/BaseImagePixels.h"

#include <algorithm>
#include <cmath>

namespace ostrel {

std::uint32_t nextPowerOfTwo(std::uint32_t n) {
  std::uint32_t p = 1;
  while (p < n && p < 0x80000000u) p <<= 1;
  return p;
}

void unpremultiply(std::vector<std::uint8_t>& bgra) {
  for (std::size_t i = 0; i + 3 < bgra.size(); i += 4) {
    const unsigned a = bgra[i + 3];
    if (a == 0 || a == 255) continue;
    for (std::size_t c = 0; c < 3; ++c)
      bgra[i + c] = static_cast<std::uint8_t>(std::min(255u, (bgra[i + c] * 255u + a / 2) / a));
  }
}

std::vector<std::uint8_t> resampleBilinear(const std::vector<std::uint8_t>& bgra, std::uint32_t width,
                                           std::uint32_t height, std::uint32_t toWidth, std::uint32_t toHeight) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(toWidth) * toHeight * 4);
  if (width == 0 || height == 0 || bgra.size() < static_cast<std::size_t>(width) * height * 4) return out;
  auto texel = [&](std::uint32_t x, std::uint32_t y, std::size_t c) {
    return static_cast<float>(bgra[(static_cast<std::size_t>(y) * width + x) * 4 + c]);
  };
  // Source position of a target pixel centre, clamped to the source's pixel centres.
  auto source = [](std::uint32_t to, std::uint32_t from, std::uint32_t toSize) {
    const float s = (static_cast<float>(to) + 0.5f) * static_cast<float>(from) / static_cast<float>(toSize) - 0.5f;
    return std::clamp(s, 0.0f, static_cast<float>(from - 1));
  };
  for (std::uint32_t y = 0; y < toHeight; ++y) {
    const float sy = source(y, height, toHeight);
    const std::uint32_t y0 = static_cast<std::uint32_t>(sy), y1 = std::min(y0 + 1, height - 1);
    const float fy = sy - static_cast<float>(y0);
    for (std::uint32_t x = 0; x < toWidth; ++x) {
      const float sx = source(x, width, toWidth);
      const std::uint32_t x0 = static_cast<std::uint32_t>(sx), x1 = std::min(x0 + 1, width - 1);
      const float fx = sx - static_cast<float>(x0);
      for (std::size_t c = 0; c < 4; ++c) {
        const float top = texel(x0, y0, c) * (1 - fx) + texel(x1, y0, c) * fx;
        const float bottom = texel(x0, y1, c) * (1 - fx) + texel(x1, y1, c) * fx;
        out[(static_cast<std::size_t>(y) * toWidth + x) * 4 + c] =
            static_cast<std::uint8_t>(std::lround(top * (1 - fy) + bottom * fy));
      }
    }
  }
  return out;
}

}  // namespace ostrel
