#pragma once
// Many mostly transparent images as one texture: only each image's visible
// box is kept, packed by AtlasLayout into one managed texture, so that all of
// them draw with one texture bind and one draw call.
#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

#include "KVX/AtlasLayout.h"
#include "KVX/D3D9Helpers.h"

namespace ostrel {

// One image for the atlas: its size and the texels of its visible box (rows
// of the box's width, premultiplied BGRA).
struct AtlasImage {
  std::int32_t width = 0, height = 0;
  TexelBounds visible;
  std::vector<std::uint8_t> boxPixels;
};

// Transparent texels around each box: a bilinear sample at a box's edge
// reads one texel beyond it.
inline constexpr std::int32_t kAtlasPadding = 1;

// Decodes an image file and keeps its visible box (two texels of margin, as
// loadTextureFromFile gives).
HRESULT decodeAtlasImage(const std::wstring& path, AtlasImage& image);

// A texture of the layout's size (managed; default-pool on an Ex device, see
// KVX/FilledTexture.h), transparent but for the boxes at their spots. `images` and `layout.spots` run in the same order.
HRESULT createAtlasTexture(IDirect3DDevice9* device, const std::vector<AtlasImage>& images,
                           const AtlasLayout& layout, IDirect3DTexture9** texture);

// Six vertices (two triangles) for the visible box of `image` at `spot`,
// placed where the whole image would cover (x, y, w, h); w and h both 0.0
// mean the image's own size. The same pixels as setVisibleRectQuad's quad.
void atlasQuad(Vertex2D* triangles, const TexelBounds& visible, std::int32_t width, std::int32_t height,
               AtlasLayout::Spot spot, const AtlasLayout& layout, float x, float y, float w, float h,
               std::uint32_t colour);

}  // namespace ostrel
