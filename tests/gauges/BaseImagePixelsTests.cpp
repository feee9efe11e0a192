// The pixel work behind base images the plug-in decodes itself (built
// natively, under the sanitizers): sizes, straight alpha and resampling edges.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "KVX/BaseImagePixels.h"

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
