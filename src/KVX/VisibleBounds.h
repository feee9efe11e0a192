#pragma once
// The part of an image that can show through alpha blending: the bounding box
// of its pixels with alpha above zero. Windows-free.
#include <cstdint>

namespace ostrel {

struct TexelBounds {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  bool empty() const { return right <= left || bottom <= top; }
};

// `pixels` holds `height` rows of `width` 32-bit pixels with alpha in the top
// byte (BGRA in memory). The box is widened by `margin` texels on each side,
// within the image, so that a filtered sample just outside the visible pixels
// still lies inside it. Empty when every pixel is transparent.
TexelBounds visibleBounds(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                          std::int32_t margin);

}  // namespace ostrel
