// Packing image boxes into one atlas: every box inside the texture with its
// padding, no two overlapping, the texture a power of two within the limits,
// and no atlas when the boxes cannot fit.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "KVX/AtlasLayout.h"

using namespace ostrel;

namespace {

bool powerOfTwo(std::int32_t v) { return v > 0 && (v & (v - 1)) == 0; }

// Boxes grown by their padding must lie inside the texture and apart.
void expectSound(const std::vector<AtlasSize>& boxes, const AtlasLayout& l, std::int32_t pad) {
  ASSERT_EQ(l.spots.size(), boxes.size());
  EXPECT_TRUE(powerOfTwo(l.width)) << l.width;
  EXPECT_TRUE(powerOfTwo(l.height)) << l.height;
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const AtlasLayout::Spot a = l.spots[i];
    if (boxes[i].width <= 0 || boxes[i].height <= 0) {
      EXPECT_EQ(a.x, -1) << i;
      continue;
    }
    EXPECT_GE(a.x - pad, 0) << i;
    EXPECT_GE(a.y - pad, 0) << i;
    EXPECT_LE(a.x + boxes[i].width + pad, l.width) << i;
    EXPECT_LE(a.y + boxes[i].height + pad, l.height) << i;
    for (std::size_t j = 0; j < i; ++j) {
      const AtlasLayout::Spot b = l.spots[j];
      if (b.x < 0) continue;
      const bool apart = a.x + boxes[i].width + pad <= b.x - pad || b.x + boxes[j].width + pad <= a.x - pad ||
                         a.y + boxes[i].height + pad <= b.y - pad || b.y + boxes[j].height + pad <= a.y - pad;
      EXPECT_TRUE(apart) << "boxes " << j << " and " << i;
    }
  }
}

}  // namespace

TEST(AtlasLayout, PacksBoxesApartInTheSmallestTexture) {
  struct Case {
    const char* name;
    std::vector<AtlasSize> boxes;
    std::int32_t limit;
    std::int32_t width, height;  // the texture expected
  };
  // Like the diagram: one outline box and many small parts, some empty.
  std::vector<AtlasSize> diagram{{164, 324}};
  for (int i = 1; i < 88; ++i) diagram.push_back(i % 11 == 0 ? AtlasSize{0, 0} : AtlasSize{10 + i % 37, 8 + (i * 7) % 41});
  const Case cases[] = {
      {"one box fills its texture", {{14, 6}}, 4096, 16, 8},
      {"two boxes side by side", {{6, 6}, {6, 6}}, 4096, 16, 8},
      {"a box as wide as the limit with its padding", {{62, 10}}, 64, 64, 16},
      {"the diagram's boxes", diagram, 4096, 0, 0},
      {"the diagram in a small limit", diagram, 512, 0, 0},
      {"only empty boxes: one transparent texel", {{0, 0}, {0, 5}}, 4096, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto layout = packAtlas(c.boxes, c.limit, c.limit, 1);
    ASSERT_TRUE(layout.has_value());
    expectSound(c.boxes, *layout, 1);
    EXPECT_LE(layout->width, c.limit);
    EXPECT_LE(layout->height, c.limit);
    if (c.width) {
      EXPECT_EQ(layout->width, c.width);
      EXPECT_EQ(layout->height, c.height);
    }
  }
  // The diagram packs densely: the power-of-two sides cost at most 3x the
  // texels the padded boxes need.
  std::int64_t needed = 0;
  for (const AtlasSize& b : diagram) needed += b.width > 0 ? std::int64_t{b.width + 2} * (b.height + 2) : 0;
  const auto layout = packAtlas(diagram, 4096, 4096, 1);
  ASSERT_TRUE(layout.has_value());
  EXPECT_LE(std::int64_t{layout->width} * layout->height, 3 * needed);
}

TEST(AtlasLayout, NoAtlasWhenTheBoxesDoNotFit) {
  const std::vector<AtlasSize> wide{{63, 4}};
  EXPECT_FALSE(packAtlas(wide, 64, 64, 1)) << "63 + 2 padding texels exceed 64";
  EXPECT_TRUE(packAtlas(wide, 128, 64, 1));
  const std::vector<AtlasSize> many(40, AtlasSize{30, 30});  // 32 x 32 each with padding
  EXPECT_FALSE(packAtlas(many, 128, 256, 1)) << "32 fit, 40 do not";
  EXPECT_TRUE(packAtlas(std::vector<AtlasSize>(32, AtlasSize{30, 30}), 128, 256, 1));
  EXPECT_FALSE(packAtlas(wide, 0, 0, 1));
}
