// The pixel work behind base images the plug-in decodes itself (built
// natively, under the sanitizers): sizes, straight alpha, resampling edges and
// the texel layouts of the formats a base image is written in.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "KVX/BaseImagePixels.h"
#include "KVX/PixelFormats.h"

using namespace ostrel;

TEST(BaseImagePixels, PowersOfTwoAndStraightAlpha) {
  const std::uint32_t sizes[][2] = {{0, 1}, {1, 1}, {2, 2}, {3, 4}, {100, 128}, {512, 512}, {513, 1024}, {16384, 16384}};
  for (const auto& s : sizes) EXPECT_EQ(nextPowerOfTwo(s[0]), s[1]) << s[0];

  // BGRA: half-transparent (100, 50, 25) premultiplied, then opaque and empty texels.
  std::vector<std::uint8_t> px = {50, 25, 13, 128, 10, 20, 30, 255, 0, 0, 0, 0};
  unpremultiply(px);
  EXPECT_EQ(px, (std::vector<std::uint8_t>{100, 50, 26, 128, 10, 20, 30, 255, 0, 0, 0, 0}));
  std::vector<std::uint8_t> over = {200, 0, 0, 1};  // premultiplied beyond its alpha: clamped
  unpremultiply(over);
  EXPECT_EQ(over[0], 255);
}

TEST(BaseImagePixels, ResamplingKeepsEdgesAndFlatAreas) {
  // 3 x 1: black, grey, white, opaque; to 4 x 2.
  const std::vector<std::uint8_t> row = {0, 0, 0, 255, 128, 128, 128, 255, 255, 255, 255, 255};
  const auto out = resampleBilinear(row, 3, 1, 4, 2);
  ASSERT_EQ(out.size(), 4u * 2 * 4);
  for (int y = 0; y < 2; ++y) {
    const std::uint8_t* r = &out[static_cast<size_t>(y) * 16];
    EXPECT_EQ(r[0], 0);      // the left edge stays the left texel
    EXPECT_EQ(r[12], 255);   // and the right edge the right one
    EXPECT_LT(r[4], r[8]);   // rising in between
    for (int x = 0; x < 4; ++x) EXPECT_EQ(r[x * 4 + 3], 255);
  }
  // A one-texel image fills everything; a short buffer gives a blank image, not a read past it.
  EXPECT_EQ(resampleBilinear({1, 2, 3, 4}, 1, 1, 2, 2), (std::vector<std::uint8_t>{1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4}));
  EXPECT_EQ(resampleBilinear({1, 2, 3}, 1, 1, 1, 1), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(BaseImagePixels, SizesFitTheDeviceLimitKeepingTheirShape) {
  const struct {
    ImageSize in;
    std::uint32_t maxW, maxH;
    ImageSize out;
  } cases[] = {
      {{512, 256}, 4096, 4096, {512, 256}},   // inside: unchanged
      {{8192, 4096}, 4096, 4096, {4096, 2048}},
      {{4000, 16000}, 8192, 8192, {2048, 8192}},
      {{16384, 1}, 2048, 2048, {2048, 1}},    // a side never drops to 0
      {{300, 200}, 0, 0, {300, 200}},         // no limit known
  };
  for (const auto& c : cases) {
    const ImageSize s = fitWithin(c.in, c.maxW, c.maxH);
    EXPECT_EQ(s.width, c.out.width) << c.in.width << "x" << c.in.height;
    EXPECT_EQ(s.height, c.out.height) << c.in.width << "x" << c.in.height;
  }
}

// Target rows are made in order from source rows that never go back, so a
// loader can read the source a row at a time.
TEST(BaseImagePixels, RowResamplingReadsSourceRowsInOrder) {
  for (const auto& s : std::vector<std::array<std::uint32_t, 2>>{{256, 1000}, {1000, 256}, {7, 7}, {1, 5}}) {
    const BilinearRows rows(4, s[0], 4, s[1]);
    std::uint32_t last = 0;
    for (std::uint32_t y = 0; y < s[1]; ++y) {
      const auto r = rows.sourceRows(y);
      EXPECT_GE(r.first, last);
      EXPECT_TRUE(r.second == r.first || r.second == r.first + 1);
      EXPECT_LT(r.second, s[0]);
      last = r.first;
    }
  }
}

namespace {
using namespace ostrel::pixels;
// Bits of the narrowest colour field of each format (8 for the byte formats).
int fieldBits(std::uint32_t f) {
  switch (f) {
    case kR5G6B5: case kX1R5G5B5: case kA1R5G5B5: return 5;
    case kA4R4G4B4: case kX4R4G4B4: return 4;
    default: return 8;
  }
}
}  // namespace

TEST(PixelFormats, KnownTexelsOfEachFormat) {
  const std::uint8_t red[4] = {0, 0, 255, 255}, halfWhite[4] = {255, 255, 255, 128}, teal[4] = {0x80, 0x80, 0, 0};
  struct Case {
    std::uint32_t format;
    const std::uint8_t* pixel;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {
      {kA8R8G8B8, halfWhite, {255, 255, 255, 128}},
      {kX8R8G8B8, halfWhite, {255, 255, 255, 255}},  // the unused byte opaque
      {kA8B8G8R8, red, {255, 0, 0, 255}},             // red first
      {kX8B8G8R8, teal, {0, 0x80, 0x80, 255}},
      {kR8G8B8, red, {0, 0, 255}},
      {kR5G6B5, red, {0x00, 0xF8}},
      {kR5G6B5, teal, {0x10, 0x04}},                  // 0x80 rounds to 16 of 31 and 32 of 63
      {kX1R5G5B5, halfWhite, {0xFF, 0x7F}},           // the top bit stays clear
      {kA1R5G5B5, halfWhite, {0xFF, 0xFF}},           // alpha 128 rounds up to 1
      {kA1R5G5B5, teal, {0x10, 0x02}},
      {kA4R4G4B4, halfWhite, {0xFF, 0x8F}},
      {kX4R4G4B4, red, {0x00, 0x0F}},
      {kA8, halfWhite, {128}},
      {kL8, red, {76}},
      {kA8L8, halfWhite, {255, 128}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(bytesPerTexel(c.format), c.bytes.size()) << c.format;
    std::vector<std::uint8_t> out(c.bytes.size() + 1, 0xEE);
    ASSERT_TRUE(writeRow(c.pixel, 1, c.format, out.data())) << c.format;
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.end() - 1), c.bytes) << "format " << c.format;
    EXPECT_EQ(out.back(), 0xEE) << "wrote past the texel, format " << c.format;
  }
}

TEST(PixelFormats, RowsComeBackWithinTheFieldsRounding) {
  std::vector<std::uint8_t> row;
  for (int i = 0; i < 64; ++i)
    for (int c = 0; c < 4; ++c) row.push_back(static_cast<std::uint8_t>((i * 37 + c * 91) & 0xFF));
  for (std::uint32_t f : {kA8R8G8B8, kX8R8G8B8, kA8B8G8R8, kX8B8G8R8, kR8G8B8, kR5G6B5, kX1R5G5B5, kA1R5G5B5,
                          kA4R4G4B4, kX4R4G4B4}) {
    std::vector<std::uint8_t> texels(64 * bytesPerTexel(f)), back(64 * 4);
    ASSERT_TRUE(writeRow(row.data(), 64, f, texels.data()));
    ASSERT_TRUE(readRow(texels.data(), 64, f, back.data()));
    const int worst = (255 + (1 << fieldBits(f)) - 2) / ((1 << fieldBits(f)) - 1) / 2;  // half a level
    const bool alpha = hasAlpha(f);
    for (int i = 0; i < 64; ++i) {
      for (int c = 0; c < 3; ++c)
        EXPECT_LE(std::abs(back[i * 4 + c] - row[i * 4 + c]), worst + 1)
            << "format " << f << " pixel " << i << " channel " << c;
      if (!alpha) EXPECT_EQ(back[i * 4 + 3], 255) << f;
      else if (f != kA1R5G5B5) EXPECT_LE(std::abs(back[i * 4 + 3] - row[i * 4 + 3]), worst + 1) << f;
      else EXPECT_EQ(back[i * 4 + 3], row[i * 4 + 3] >= 128 ? 255 : 0) << i;
    }
  }
}

TEST(PixelFormats, FormatsItCannotWriteAreRefused) {
  const std::uint8_t pixel[4] = {1, 2, 3, 4};
  std::uint8_t out[16] = {};
  const std::uint32_t dxt1 = 0x31545844, dxt5 = 0x35545844;  // four-character codes
  for (std::uint32_t f : {dxt1, dxt5, 0u /* unknown */, 41u /* P8 */, 113u /* A16B16G16R16F */,
                          116u /* A32B32G32R32F */, 80u /* D16 */}) {
    EXPECT_EQ(bytesPerTexel(f), 0u) << f;
    EXPECT_FALSE(writeRow(pixel, 1, f, out)) << f;
    EXPECT_FALSE(readRow(out, 1, f, out)) << f;
  }
  for (std::uint8_t b : out) EXPECT_EQ(b, 0);
}

TEST(PixelFormats, AlphaAndTexelSizesOfTheFormatsTheHookAndRendererMeet) {
  // The texture hook picks an alpha format when the asked one may hold
  // alpha; the renderer copies rows of any format whose texel size is known.
  struct Case {
    std::uint32_t format;
    bool alpha;
    std::size_t bytes;
    bool written;  // converted by writeRow
  };
  const Case cases[] = {
      {kA8R8G8B8, true, 4, true},   {kX8R8G8B8, false, 4, true},    {kX8B8G8R8, false, 4, true},
      {kR8G8B8, false, 3, true},    {kR5G6B5, false, 2, true},      {kX1R5G5B5, false, 2, true},
      {kA1R5G5B5, true, 2, true},   {kX4R4G4B4, false, 2, true},    {kL8, false, 1, true},
      {kA8L8, true, 2, true},       {kA8, true, 1, true},           {kR3G3B2, false, 0, false},
      {kL16, false, 0, false},      {kDXT1, false, 0, false},       {kA2R10G10B10, true, 4, false},
      {kA2B10G10R10, true, 4, false}, {0x35545844u /* DXT5 */, true, 0, false}, {0u, true, 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(hasAlpha(c.format), c.alpha) << c.format;
    EXPECT_EQ(bytesPerTexel(c.format), c.bytes) << c.format;
    EXPECT_EQ(canWrite(c.format), c.written) << c.format;
  }
}
