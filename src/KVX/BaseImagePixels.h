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

// Bilinear resampling of BGRA rows of `width` pixels to `toWidth` x `toHeight`,
// sampling at pixel centres with edges clamped.
std::vector<std::uint8_t> resampleBilinear(const std::vector<std::uint8_t>& bgra, std::uint32_t width,
                                           std::uint32_t height, std::uint32_t toWidth, std::uint32_t toHeight);

}  // namespace ostrel
