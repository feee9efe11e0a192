#include "KVX/PixelFormats.h"

namespace ostrel::pixels {
namespace {

// 8 bits to a field of `bits`, rounded to the nearest level.
constexpr std::uint32_t narrow(std::uint32_t v, int bits) {
  const std::uint32_t top = (1u << bits) - 1;
  return (v * top + 127) / 255;
}
// A field of `bits` back to 8 bits, its top bits repeated below.
constexpr std::uint32_t widen(std::uint32_t v, int bits) {
  std::uint32_t out = 0;
  for (int shift = 8 - bits; shift > -bits; shift -= bits) out |= shift >= 0 ? v << shift : v >> -shift;
  return out & 0xFF;
}
static_assert(widen(31, 5) == 255 && widen(0x10, 5) == 0x84 && widen(63, 6) == 255 && widen(1, 1) == 255 &&
              widen(0xA, 4) == 0xAA);

constexpr std::uint32_t luminance(std::uint32_t b, std::uint32_t g, std::uint32_t r) {
  return (r * 299 + g * 587 + b * 114 + 500) / 1000;
}

// A 16-bit texel from its fields: alpha, red, green, blue widths (alpha 0: none).
std::uint16_t pack16(const std::uint8_t* p, int a, int r, int g, int b) {
  std::uint32_t v = narrow(p[0], b) | narrow(p[1], g) << b | narrow(p[2], r) << (b + g);
  if (a) v |= narrow(p[3], a) << (b + g + r);
  return static_cast<std::uint16_t>(v);
}
void unpack16(std::uint16_t v, std::uint8_t* p, int a, int r, int g, int b) {
  p[0] = static_cast<std::uint8_t>(widen(v & ((1u << b) - 1), b));
  p[1] = static_cast<std::uint8_t>(widen(v >> b & ((1u << g) - 1), g));
  p[2] = static_cast<std::uint8_t>(widen(v >> (b + g) & ((1u << r) - 1), r));
  p[3] = a ? static_cast<std::uint8_t>(widen(v >> (b + g + r) & ((1u << a) - 1), a)) : 0xFF;
}

struct Layout16 {
  int a, r, g, b;
};
bool layout16(std::uint32_t format, Layout16& l) {
  switch (format) {
    case kR5G6B5: l = {0, 5, 6, 5}; return true;
    case kX1R5G5B5: l = {0, 5, 5, 5}; return true;
    case kA1R5G5B5: l = {1, 5, 5, 5}; return true;
    case kA4R4G4B4: l = {4, 4, 4, 4}; return true;
    case kX4R4G4B4: l = {0, 4, 4, 4}; return true;
    default: return false;
  }
}

}  // namespace

std::size_t bytesPerTexel(std::uint32_t format) {
  switch (format) {
    case kA8R8G8B8: case kX8R8G8B8: case kA8B8G8R8: case kX8B8G8R8: return 4;
    case kA2R10G10B10: case kA2B10G10R10: return 4;
    case kR8G8B8: return 3;
    case kR5G6B5: case kX1R5G5B5: case kA1R5G5B5: case kA4R4G4B4: case kX4R4G4B4: case kA8L8: return 2;
    case kA8: case kL8: return 1;
    default: return 0;
  }
}

bool canWrite(std::uint32_t format) {
  switch (format) {
    case kR8G8B8: case kA8R8G8B8: case kX8R8G8B8: case kR5G6B5: case kX1R5G5B5: case kA1R5G5B5:
    case kA4R4G4B4: case kA8: case kX4R4G4B4: case kA8B8G8R8: case kX8B8G8R8: case kL8: case kA8L8:
      return true;
    default:
      return false;
  }
}

bool hasAlpha(std::uint32_t format) {
  switch (format) {
    case kX8R8G8B8: case kX8B8G8R8: case kR8G8B8: case kR5G6B5: case kX1R5G5B5: case kX4R4G4B4:
    case kR3G3B2: case kDXT1: case kL8: case kL16:
      return false;
    default:
      return true;
  }
}

bool writeRow(const std::uint8_t* bgra, std::uint32_t width, std::uint32_t format, std::uint8_t* out) {
  if (!canWrite(format)) return false;
  Layout16 l{};
  const bool sixteen = layout16(format, l);
  for (std::uint32_t x = 0; x < width; ++x, bgra += 4) {
    const std::uint8_t b = bgra[0], g = bgra[1], r = bgra[2], a = bgra[3];
    switch (format) {
      case kA8R8G8B8: case kX8R8G8B8:
        // The unused byte of X8 formats is written opaque, as decoders do.
        *out++ = b, *out++ = g, *out++ = r, *out++ = format == kA8R8G8B8 ? a : 0xFF;
        break;
      case kA8B8G8R8: case kX8B8G8R8:
        *out++ = r, *out++ = g, *out++ = b, *out++ = format == kA8B8G8R8 ? a : 0xFF;
        break;
      case kR8G8B8: *out++ = b, *out++ = g, *out++ = r; break;
      case kA8: *out++ = a; break;
      case kL8: *out++ = static_cast<std::uint8_t>(luminance(b, g, r)); break;
      case kA8L8: *out++ = static_cast<std::uint8_t>(luminance(b, g, r)), *out++ = a; break;
      default:
        if (sixteen) {
          const std::uint16_t v = pack16(bgra, l.a, l.r, l.g, l.b);
          *out++ = static_cast<std::uint8_t>(v & 0xFF), *out++ = static_cast<std::uint8_t>(v >> 8);
        }
        break;
    }
  }
  return true;
}

bool readRow(const std::uint8_t* in, std::uint32_t width, std::uint32_t format, std::uint8_t* bgra) {
  if (!canWrite(format)) return false;
  Layout16 l{};
  const bool sixteen = layout16(format, l);
  for (std::uint32_t x = 0; x < width; ++x, bgra += 4) {
    switch (format) {
      case kA8R8G8B8: case kX8R8G8B8:
        bgra[0] = in[0], bgra[1] = in[1], bgra[2] = in[2], bgra[3] = format == kA8R8G8B8 ? in[3] : 0xFF;
        in += 4;
        break;
      case kA8B8G8R8: case kX8B8G8R8:
        bgra[0] = in[2], bgra[1] = in[1], bgra[2] = in[0], bgra[3] = format == kA8B8G8R8 ? in[3] : 0xFF;
        in += 4;
        break;
      case kR8G8B8: bgra[0] = in[0], bgra[1] = in[1], bgra[2] = in[2], bgra[3] = 0xFF, in += 3; break;
      case kA8: bgra[0] = bgra[1] = bgra[2] = 0, bgra[3] = *in++; break;
      case kL8: bgra[0] = bgra[1] = bgra[2] = *in++, bgra[3] = 0xFF; break;
      case kA8L8: bgra[0] = bgra[1] = bgra[2] = in[0], bgra[3] = in[1], in += 2; break;
      default:
        if (sixteen) {
          unpack16(static_cast<std::uint16_t>(in[0] | in[1] << 8), bgra, l.a, l.r, l.g, l.b);
          in += 2;
        }
        break;
    }
  }
  return true;
}

}  // namespace ostrel::pixels
