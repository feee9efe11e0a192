#include "ImageFiles.h"

#include <algorithm>
#include <array>
#include <map>

namespace simhost {
namespace {

void put16(std::string& s, std::uint32_t v) { s += static_cast<char>(v & 0xFF), s += static_cast<char>(v >> 8 & 0xFF); }
void put32(std::string& s, std::uint32_t v) { put16(s, v & 0xFFFF), put16(s, v >> 16); }
void put32be(std::string& s, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>(v >> shift & 0xFF);
}
std::uint8_t channel(std::uint32_t argb, int shift) { return static_cast<std::uint8_t>(argb >> shift & 0xFF); }

// ---- PNG: deflate "stored" blocks need no compressor and every decoder reads them.
std::uint32_t crc32(const std::string& data, std::size_t from) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = from; i < data.size(); ++i) c = table[(c ^ static_cast<std::uint8_t>(data[i])) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}
void chunk(std::string& png, const char* type, const std::string& body) {
  put32be(png, static_cast<std::uint32_t>(body.size()));
  const std::size_t start = png.size();
  png += type;
  png += body;
  put32be(png, crc32(png, start));
}
std::string zlibStored(const std::string& raw) {
  std::string z = "\x78\x01";
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    z += static_cast<char>(at + n == raw.size() ? 1 : 0);
    put16(z, static_cast<std::uint32_t>(n));
    put16(z, static_cast<std::uint32_t>(~n & 0xFFFF));
    z.append(raw, at, n);
    at += n;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0;
  for (char c : raw) a = (a + static_cast<std::uint8_t>(c)) % 65521, b = (b + a) % 65521;
  put32be(z, b << 16 | a);
  return z;
}

std::string png(ImageKind kind, const std::vector<std::uint32_t>& px, std::uint32_t w, std::uint32_t h) {
  std::string raw, palette;
  std::map<std::uint32_t, std::uint8_t> index;
  if (kind == ImageKind::Png8) {
    // The image's own colours when they fit, else a 3-3-2 palette.
    for (std::uint32_t c : px)
      if (index.size() <= 256) index.emplace(c & 0xFFFFFF, 0);
    const bool own = index.size() <= 256;
    if (own) {
      std::uint8_t n = 0;
      for (auto& [c, i] : index) i = n++, palette += {static_cast<char>(channel(c, 16)), static_cast<char>(channel(c, 8)), static_cast<char>(channel(c, 0))};
    } else {
      index.clear();
      for (int i = 0; i < 256; ++i)
        palette += {static_cast<char>((i >> 5) * 255 / 7), static_cast<char>((i >> 2 & 7) * 255 / 7), static_cast<char>((i & 3) * 255 / 3)};
    }
    for (std::uint32_t y = 0; y < h; ++y) {
      raw += '\0';
      for (std::uint32_t x = 0; x < w; ++x) {
        const std::uint32_t c = px[y * w + x];
        raw += static_cast<char>(own ? index[c & 0xFFFFFF]
                                     : (channel(c, 16) * 7 + 127) / 255 << 5 | (channel(c, 8) * 7 + 127) / 255 << 2 |
                                           (channel(c, 0) * 3 + 127) / 255);
      }
    }
  } else {
    for (std::uint32_t y = 0; y < h; ++y) {
      raw += '\0';
      for (std::uint32_t x = 0; x < w; ++x) {
        const std::uint32_t c = px[y * w + x];
        raw += {static_cast<char>(channel(c, 16)), static_cast<char>(channel(c, 8)), static_cast<char>(channel(c, 0))};
        if (kind == ImageKind::Png32) raw += static_cast<char>(channel(c, 24));
      }
    }
  }
  std::string out = "\x89PNG\r\n\x1a\n", header;
  put32be(header, w);
  put32be(header, h);
  header += {8, static_cast<char>(kind == ImageKind::Png32 ? 6 : kind == ImageKind::Png24 ? 2 : 3), 0, 0, 0};
  chunk(out, "IHDR", header);
  if (!palette.empty()) chunk(out, "PLTE", palette);
  chunk(out, "IDAT", zlibStored(raw));
  chunk(out, "IEND", "");
  return out;
}

// ---- BMP and TGA: 24-bit rows from the bottom up.
std::string bgrRowsBottomUp(const std::vector<std::uint32_t>& px, std::uint32_t w, std::uint32_t h, std::uint32_t align) {
  std::string rows;
  for (std::uint32_t y = h; y-- > 0;) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint32_t c = px[y * w + x];
      rows += {static_cast<char>(channel(c, 0)), static_cast<char>(channel(c, 8)), static_cast<char>(channel(c, 16))};
    }
    while (rows.size() % align) rows += '\0';
  }
  return rows;
}
std::string bmp(const std::vector<std::uint32_t>& px, std::uint32_t w, std::uint32_t h) {
  const std::string rows = bgrRowsBottomUp(px, w, h, 4);
  std::string out = "BM";
  put32(out, static_cast<std::uint32_t>(54 + rows.size()));
  put32(out, 0);
  put32(out, 54);
  for (std::uint32_t v : {40u, w, h}) put32(out, v);
  put16(out, 1);
  put16(out, 24);
  for (std::uint32_t v : {0u, static_cast<std::uint32_t>(rows.size()), 2835u, 2835u, 0u, 0u}) put32(out, v);
  return out + rows;
}
std::string tga(const std::vector<std::uint32_t>& px, std::uint32_t w, std::uint32_t h) {
  std::string out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // uncompressed true colour
  put16(out, w);
  put16(out, h);
  out += {24, 0};  // bits per pixel; origin at the bottom left
  return out + bgrRowsBottomUp(px, w, h, 1);
}

// ---- DDS: a plain block encoder (per-block colour extremes), good enough for flat art.
std::uint16_t to565(std::uint32_t c) {
  return static_cast<std::uint16_t>((channel(c, 16) * 31 + 127) / 255 << 11 | (channel(c, 8) * 63 + 127) / 255 << 5 |
                                    (channel(c, 0) * 31 + 127) / 255);
}
std::array<int, 3> from565(std::uint16_t v) {
  return {((v >> 11) * 255 + 15) / 31, ((v >> 5 & 63) * 255 + 31) / 63, ((v & 31) * 255 + 15) / 31};
}
void colourBlock(std::string& out, const std::uint32_t (&block)[16]) {
  std::uint32_t hi = 0, lo = 0xFFFFFF;
  for (std::uint32_t c : block)
    for (int s : {0, 8, 16}) {
      const std::uint32_t m = 0xFFu << s;
      hi = (hi & ~m) | std::max(hi & m, c & m);
      lo = (lo & ~m) | std::min(lo & m, c & m);
    }
  std::uint16_t c0 = to565(hi), c1 = to565(lo);
  if (c0 < c1) std::swap(c0, c1);
  const auto a = from565(c0), b = from565(c1);
  std::array<std::array<int, 3>, 4> pal{a, b, {}, {}};
  for (int k = 0; k < 3; ++k) pal[2][k] = (2 * a[k] + b[k]) / 3, pal[3][k] = (a[k] + 2 * b[k]) / 3;
  std::uint32_t bits = 0;
  if (c0 != c1)
    for (int i = 0; i < 16; ++i) {
      int best = 0, bestError = 1 << 30;
      for (int p = 0; p < 4; ++p) {
        int e = 0;
        for (int k = 0; k < 3; ++k) {
          const int d = channel(block[i], 16 - 8 * k) - pal[p][k];
          e += d * d;
        }
        if (e < bestError) best = p, bestError = e;
      }
      bits |= static_cast<std::uint32_t>(best) << (2 * i);
    }
  put16(out, c0);
  put16(out, c1);
  put32(out, bits);
}
void alphaBlock(std::string& out, const std::uint32_t (&block)[16]) {
  int hi = 0, lo = 255;
  for (std::uint32_t c : block) hi = std::max<int>(hi, channel(c, 24)), lo = std::min<int>(lo, channel(c, 24));
  out += {static_cast<char>(hi), static_cast<char>(lo)};
  std::uint64_t bits = 0;
  if (hi != lo)
    for (int i = 0; i < 16; ++i) {
      // Levels: 0 is hi, 1 is lo, 2..7 step from hi to lo.
      const int a = channel(block[i], 24);
      int best = 0, bestError = 1 << 30;
      for (int p = 0; p < 8; ++p) {
        const int level = p == 0 ? hi : p == 1 ? lo : ((8 - p) * hi + (p - 1) * lo) / 7;
        if (std::abs(a - level) < bestError) best = p, bestError = std::abs(a - level);
      }
      bits |= static_cast<std::uint64_t>(best) << (3 * i);
    }
  for (int k = 0; k < 6; ++k) out += static_cast<char>(bits >> (8 * k) & 0xFF);
}
std::string dds(ImageKind kind, const std::vector<std::uint32_t>& px, std::uint32_t w, std::uint32_t h) {
  const bool compressed = kind != ImageKind::DdsArgb;
  std::string body;
  if (compressed) {
    for (std::uint32_t by = 0; by < h; by += 4)
      for (std::uint32_t bx = 0; bx < w; bx += 4) {
        std::uint32_t block[16];
        for (int i = 0; i < 16; ++i)
          block[i] = px[std::min(h - 1, by + i / 4) * w + std::min(w - 1, bx + i % 4)];
        if (kind == ImageKind::DdsDxt5) alphaBlock(body, block);
        colourBlock(body, block);
      }
  } else {
    for (std::uint32_t c : px) put32(body, c);
  }
  std::string out = "DDS ";
  // Caps, height, width, pixel format, and the linear size or the pitch.
  put32(out, 124);
  put32(out, 0x1 | 0x2 | 0x4 | 0x1000 | (compressed ? 0x80000 : 0x8));
  put32(out, h);
  put32(out, w);
  put32(out, compressed ? static_cast<std::uint32_t>(body.size()) : w * 4);
  for (int i = 0; i < 13; ++i) put32(out, 0);  // depth, mip count, 11 reserved
  put32(out, 32);
  if (compressed) {
    put32(out, 0x4);  // four-character code
    out += kind == ImageKind::DdsDxt1 ? "DXT1" : "DXT5";
    for (int i = 0; i < 5; ++i) put32(out, 0);
  } else {
    put32(out, 0x40 | 0x1);  // RGB with alpha
    put32(out, 0);
    for (std::uint32_t v : {32u, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) put32(out, v);
  }
  put32(out, 0x1000);  // a texture
  for (int i = 0; i < 4; ++i) put32(out, 0);
  return out + body;
}

}  // namespace

std::optional<ImageKind> imageKindNamed(const std::string& name) {
  static const std::map<std::string, ImageKind> kinds = {
      {"png32", ImageKind::Png32}, {"png24", ImageKind::Png24},   {"png8", ImageKind::Png8},
      {"bmp24", ImageKind::Bmp24}, {"tga24", ImageKind::Tga24},   {"dxt1", ImageKind::DdsDxt1},
      {"dxt5", ImageKind::DdsDxt5}, {"dds-argb", ImageKind::DdsArgb}, {"jpg", ImageKind::Jpg}};
  const auto found = kinds.find(name);
  if (found == kinds.end()) return std::nullopt;
  return found->second;
}

const char* imageKindNames() { return "png32 png24 png8 bmp24 tga24 dxt1 dxt5 dds-argb jpg"; }

std::string encodeImage(ImageKind kind, const std::vector<std::uint32_t>& argb, std::uint32_t w, std::uint32_t h) {
  if (w == 0 || h == 0 || argb.size() < static_cast<std::size_t>(w) * h) return {};
  switch (kind) {
    case ImageKind::Png32: case ImageKind::Png24: case ImageKind::Png8: return png(kind, argb, w, h);
    case ImageKind::Bmp24: return bmp(argb, w, h);
    case ImageKind::Tga24: return tga(argb, w, h);
    case ImageKind::DdsDxt1: case ImageKind::DdsDxt5: case ImageKind::DdsArgb: return dds(kind, argb, w, h);
    case ImageKind::Jpg: return {};
  }
  return {};
}

}  // namespace simhost
