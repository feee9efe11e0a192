#include "KVX/ImageAtlas.h"

#include <cstring>

#include "KVX/ComRelease.h"
#include "KVX/FilledTexture.h"
#include "KVX/ImageDecoder.h"

namespace ostrel {

HRESULT decodeAtlasImage(const std::wstring& path, AtlasImage& image) {
  image = AtlasImage{};
  std::vector<BYTE> pixels;
  UINT w = 0, h = 0;
  const HRESULT hr = decodeImageFile(path, pixels, w, h);
  if (FAILED(hr)) return hr;
  image.width = static_cast<std::int32_t>(w);
  image.height = static_cast<std::int32_t>(h);
  image.visible = visibleBounds(pixels.data(), image.width, image.height, 2);
  if (image.visible.empty()) return S_OK;
  const std::size_t boxWidth = static_cast<std::size_t>(image.visible.right - image.visible.left);
  const std::size_t rows = static_cast<std::size_t>(image.visible.bottom - image.visible.top);
  image.boxPixels.resize(boxWidth * rows * 4);
  for (std::size_t row = 0; row < rows; ++row)
    std::memcpy(image.boxPixels.data() + row * boxWidth * 4,
                pixels.data() + ((static_cast<std::size_t>(image.visible.top) + row) * w +
                                 static_cast<std::size_t>(image.visible.left)) * 4,
                boxWidth * 4);
  return S_OK;
}

HRESULT createAtlasTexture(IDirect3DDevice9* device, const std::vector<AtlasImage>& images,
                           const AtlasLayout& layout, IDirect3DTexture9** texture) {
  if (!device || !texture || images.size() != layout.spots.size()) return E_INVALIDARG;
  return createFilledTexture(
      device, static_cast<UINT>(layout.width), static_cast<UINT>(layout.height),
      [&](std::uint8_t* bits, INT pitch) {
        // Everything outside the boxes is the padding: transparent black.
        for (std::int32_t row = 0; row < layout.height; ++row)
          std::memset(bits + static_cast<std::size_t>(row) * pitch, 0, static_cast<std::size_t>(layout.width) * 4);
        for (std::size_t i = 0; i < images.size(); ++i) {
          const AtlasImage& image = images[i];
          const AtlasLayout::Spot spot = layout.spots[i];
          if (spot.x < 0 || image.visible.empty()) continue;
          const std::size_t boxWidth = static_cast<std::size_t>(image.visible.right - image.visible.left);
          const std::int32_t rows = image.visible.bottom - image.visible.top;
          for (std::int32_t row = 0; row < rows; ++row)
            std::memcpy(bits + static_cast<std::size_t>(spot.y + row) * pitch + static_cast<std::size_t>(spot.x) * 4,
                        image.boxPixels.data() + static_cast<std::size_t>(row) * boxWidth * 4, boxWidth * 4);
        }
      },
      texture);
}

void atlasQuad(Vertex2D* t, const TexelBounds& visible, std::int32_t width, std::int32_t height,
               AtlasLayout::Spot spot, const AtlasLayout& layout, float x, float y, float w, float h,
               std::uint32_t colour) {
  if (w == 0.0f && h == 0.0f) {
    w = static_cast<float>(width);
    h = static_cast<float>(height);
  }
  // Screen corners exactly as the cut-down whole-image quad has them.
  const float tw = static_cast<float>(width), th = static_cast<float>(height);
  const float x0 = x + w * (static_cast<float>(visible.left) / tw);
  const float x1 = x + w * (static_cast<float>(visible.right) / tw);
  const float y0 = y + h * (static_cast<float>(visible.top) / th);
  const float y1 = y + h * (static_cast<float>(visible.bottom) / th);
  const float aw = static_cast<float>(layout.width), ah = static_cast<float>(layout.height);
  const float u0 = static_cast<float>(spot.x) / aw;
  const float u1 = static_cast<float>(spot.x + visible.right - visible.left) / aw;
  const float v0 = static_cast<float>(spot.y) / ah;
  const float v1 = static_cast<float>(spot.y + visible.bottom - visible.top) / ah;
  const Vertex2D strip[4] = {{x0, y0, 0.0f, 1.0f, colour, u0, v0},
                             {x1, y0, 0.0f, 1.0f, colour, u1, v0},
                             {x0, y1, 0.0f, 1.0f, colour, u0, v1},
                             {x1, y1, 0.0f, 1.0f, colour, u1, v1}};
  quadAsTriangles(strip, t);
}

}  // namespace ostrel
