#pragma once
// Where the boxes of many small images go in one atlas texture: shelves of
// boxes, tallest first, in the smallest power-of-two texture that holds them
// all. Every box keeps `padding` transparent texels on each side, so a
// filtered sample at a box's edge never reaches a neighbour. Windows-free.
#include <cstdint>
#include <optional>
#include <vector>

namespace ostrel {

struct AtlasSize {
  std::int32_t width = 0, height = 0;
};

struct AtlasLayout {
  std::int32_t width = 0, height = 0;  // the texture, powers of two
  // Top-left texel of each box inside the texture (after its padding), in
  // the order the boxes were given; (-1, -1) for an empty box, which takes
  // no room.
  struct Spot {
    std::int32_t x = -1, y = -1;
  };
  std::vector<Spot> spots;
};

// Nothing when the boxes do not fit `maxWidth` x `maxHeight`. Boxes that are
// all empty give a 1 x 1 texture.
std::optional<AtlasLayout> packAtlas(const std::vector<AtlasSize>& boxes, std::int32_t maxWidth,
                                     std::int32_t maxHeight, std::int32_t padding);

}  // namespace ostrel
