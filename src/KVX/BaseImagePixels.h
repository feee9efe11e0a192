#pragma once
// Pixel work for gauge base images decoded by the plug-in itself, so they come
// out as the D3DX library would make them from the same file: straight (not
// premultiplied) alpha, and sides rounded up to powers of two.
//
// Windows-free: usable from the native build too.
#include <cstdint>
#include <vector>

namespace ostrel {

// The smallest power of two not below `n` (1 for 0).
std::uint32_t nextPowerOfTwo(std::uint32_t n);

// Premultiplied BGRA to straight BGRA, in place.
void unpremultiply(std::vector<std::uint8_t>& bgra);

// A size no side of which passes the device's limit (0: no limit), the
// sides scaled together so the image keeps its shape (each at least 1).
struct ImageSize {
  std::uint32_t width = 0, height = 0;
};
ImageSize fitWithin(ImageSize size, std::uint32_t maxWidth, std::uint32_t maxHeight);

// Bilinear resampling one target row at a time, for writing straight into a
// locked texture: target row y is made from the two source rows sourceRows(y)
// names, which grow with y. Texels as resampleBilinear makes them.
class BilinearRows {
 public:
  BilinearRows(std::uint32_t width, std::uint32_t height, std::uint32_t toWidth, std::uint32_t toHeight);
  struct Rows {
    std::uint32_t first, second;
  };
  Rows sourceRows(std::uint32_t y) const;
  // `first` and `second`: BGRA rows of `width` pixels; `out`: toWidth pixels.
  void makeRow(const std::uint8_t* first, const std::uint8_t* second, std::uint32_t y, std::uint8_t* out) const;

 private:
  struct Tap {
    std::uint32_t x0, x1;
    float f;
  };
  Tap tap(std::uint32_t to, std::uint32_t from, std::uint32_t toSize) const;
  std::uint32_t width_, height_, toWidth_, toHeight_;
  std::vector<Tap> columns_;
};

// Bilinear resampling of BGRA rows of `width` pixels to `toWidth` x `toHeight`,
// sampling at pixel centres with edges clamped.
std::vector<std::uint8_t> resampleBilinear(const std::vector<std::uint8_t>& bgra, std::uint32_t width,
                                           std::uint32_t height, std::uint32_t toWidth, std::uint32_t toHeight);

}  // namespace ostrel
