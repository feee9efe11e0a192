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

ImageSize fitWithin(ImageSize size, std::uint32_t maxWidth, std::uint32_t maxHeight) {
  double scale = 1.0;
  if (maxWidth && size.width > maxWidth) scale = std::min(scale, static_cast<double>(maxWidth) / size.width);
  if (maxHeight && size.height > maxHeight) scale = std::min(scale, static_cast<double>(maxHeight) / size.height);
  if (scale >= 1.0) return size;
  auto side = [scale](std::uint32_t n, std::uint32_t most) {
    const auto s = static_cast<std::uint32_t>(std::max(1.0, std::floor(n * scale + 0.5)));
    return most ? std::min(s, most) : s;
  };
  return {side(size.width, maxWidth), side(size.height, maxHeight)};
}

BilinearRows::BilinearRows(std::uint32_t width, std::uint32_t height, std::uint32_t toWidth, std::uint32_t toHeight)
    : width_(width), height_(height), toWidth_(toWidth), toHeight_(toHeight) {
  columns_.reserve(toWidth);
  for (std::uint32_t x = 0; x < toWidth; ++x) columns_.push_back(tap(x, width, toWidth));
}

// Source position of a target pixel centre, clamped to the source's pixel centres.
BilinearRows::Tap BilinearRows::tap(std::uint32_t to, std::uint32_t from, std::uint32_t toSize) const {
  if (from == 0 || toSize == 0) return {0, 0, 0.0f};
  float s = (static_cast<float>(to) + 0.5f) * static_cast<float>(from) / static_cast<float>(toSize) - 0.5f;
  s = std::clamp(s, 0.0f, static_cast<float>(from - 1));
  const auto s0 = static_cast<std::uint32_t>(s);
  return {s0, std::min(s0 + 1, from - 1), s - static_cast<float>(s0)};
}

BilinearRows::Rows BilinearRows::sourceRows(std::uint32_t y) const {
  const Tap t = tap(y, height_, toHeight_);
  return {t.x0, t.x1};
}

void BilinearRows::makeRow(const std::uint8_t* first, const std::uint8_t* second, std::uint32_t y,
                           std::uint8_t* out) const {
  const float fy = tap(y, height_, toHeight_).f;
  for (std::uint32_t x = 0; x < toWidth_; ++x) {
    const Tap& c = columns_[x];
    const std::uint8_t *a = first + c.x0 * 4, *b = first + c.x1 * 4, *d = second + c.x0 * 4, *e = second + c.x1 * 4;
    for (std::size_t k = 0; k < 4; ++k) {
      const float top = static_cast<float>(a[k]) * (1 - c.f) + static_cast<float>(b[k]) * c.f;
      const float bottom = static_cast<float>(d[k]) * (1 - c.f) + static_cast<float>(e[k]) * c.f;
      out[static_cast<std::size_t>(x) * 4 + k] = static_cast<std::uint8_t>(std::lround(top * (1 - fy) + bottom * fy));
    }
  }
}

std::vector<std::uint8_t> resampleBilinear(const std::vector<std::uint8_t>& bgra, std::uint32_t width,
                                           std::uint32_t height, std::uint32_t toWidth, std::uint32_t toHeight) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(toWidth) * toHeight * 4);
  if (width == 0 || height == 0 || bgra.size() < static_cast<std::size_t>(width) * height * 4) return out;
  const BilinearRows rows(width, height, toWidth, toHeight);
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  for (std::uint32_t y = 0; y < toHeight; ++y) {
    const BilinearRows::Rows r = rows.sourceRows(y);
    rows.makeRow(bgra.data() + r.first * stride, bgra.data() + r.second * stride, y,
                 out.data() + static_cast<std::size_t>(y) * toWidth * 4);
  }
  return out;
}

}  // namespace ostrel
