#include "KVX/AtlasLayout.h"

#include <algorithm>
#include <numeric>

namespace ostrel {
namespace {

std::int64_t nextPowerOfTwo(std::int64_t v) {
  std::int64_t p = 1;
  while (p < v) p <<= 1;
  return p;
}

// Shelves left to right, top to bottom in a texture `width` wide, boxes in
// `order`; the height used, or -1 when a box is wider than the texture.
std::int64_t shelve(const std::vector<AtlasSize>& boxes, const std::vector<std::size_t>& order,
                    std::int64_t width, std::int32_t padding, std::vector<AtlasLayout::Spot>* spots) {
  std::int64_t x = 0, y = 0, shelfHeight = 0;
  for (std::size_t i : order) {
    const std::int64_t w = std::int64_t{boxes[i].width} + 2 * padding;
    const std::int64_t h = std::int64_t{boxes[i].height} + 2 * padding;
    if (w > width) return -1;
    if (x + w > width) {  // next shelf
      y += shelfHeight;
      x = 0;
      shelfHeight = 0;
    }
    if (spots) (*spots)[i] = {static_cast<std::int32_t>(x + padding), static_cast<std::int32_t>(y + padding)};
    x += w;
    shelfHeight = std::max(shelfHeight, h);
  }
  return y + shelfHeight;
}

}  // namespace

std::optional<AtlasLayout> packAtlas(const std::vector<AtlasSize>& boxes, std::int32_t maxWidth,
                                     std::int32_t maxHeight, std::int32_t padding) {
  if (maxWidth <= 0 || maxHeight <= 0 || padding < 0) return std::nullopt;
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < boxes.size(); ++i)
    if (boxes[i].width > 0 && boxes[i].height > 0) order.push_back(i);
  if (order.empty()) return AtlasLayout{1, 1, std::vector<AtlasLayout::Spot>(boxes.size())};
  // Tallest first keeps the shelves full; equal heights keep their order.
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return boxes[a].height > boxes[b].height; });

  // Every power-of-two width up to the limit; the smallest texture wins
  // (on a tie the squarer, then the wider one).
  std::int64_t bestWidth = 0, bestHeight = 0;
  for (std::int64_t width = 1; width <= maxWidth; width <<= 1) {
    const std::int64_t used = shelve(boxes, order, width, padding, nullptr);
    if (used < 0) continue;
    const std::int64_t height = nextPowerOfTwo(used);
    if (height > maxHeight) continue;
    const bool better = bestWidth == 0 || width * height < bestWidth * bestHeight ||
                        (width * height == bestWidth * bestHeight &&
                         std::max(width, height) <= std::max(bestWidth, bestHeight));
    if (better) {
      bestWidth = width;
      bestHeight = height;
    }
  }
  if (bestWidth == 0) return std::nullopt;
  AtlasLayout layout;
  layout.width = static_cast<std::int32_t>(bestWidth);
  layout.height = static_cast<std::int32_t>(bestHeight);
  layout.spots.assign(boxes.size(), AtlasLayout::Spot{});
  shelve(boxes, order, bestWidth, padding, &layout.spots);
  return layout;
}

}  // namespace ostrel
