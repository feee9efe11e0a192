#pragma once
// Shared 2D drawing for the image panels and the gauge elements:
// pre-transformed textured quads on the host's Direct3D 9 device.
#include <d3d9.h>

#include <cstdint>
#include <string>

#include "KVX/VisibleBounds.h"

namespace ostrel {

// One pre-transformed vertex, 28 bytes: FVF 0x144 (XYZRHW | DIFFUSE | TEX1).
struct Vertex2D {
  float x, y, z, rhw;
  std::uint32_t colour;  // ARGB
  float u, v;
};
static_assert(sizeof(Vertex2D) == 28);
inline constexpr DWORD kVertex2DFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// One image slot: the texture (one reference owned), its screen quad in the
// order top-left, top-right, bottom-left, bottom-right, and its pixel size.
struct TexturedRect {
  IDirect3DTexture9* texture = nullptr;
  Vertex2D vertices[4]{};
  std::int32_t width = 0;
  std::int32_t height = 0;
  // The texels that are not fully transparent (widened for filtering).
  TexelBounds visible;

  TexturedRect() = default;
  TexturedRect(const TexturedRect&) = delete;
  TexturedRect& operator=(const TexturedRect&) = delete;
  ~TexturedRect() { release(); }
  void release() {
    if (texture) texture->Release();
    texture = nullptr;
    visible = TexelBounds{};
  }
};

// The texture last bound to stage 0 by a quad draw (no reference held).
extern IDirect3DBaseTexture9* lastBoundTexture;

HRESULT D3D9CreateRectangleVertexTex2D(Vertex2D* vertices, float x, float y, float width,
                                       float height, std::uint32_t colour);
HRESULT setRectQuad(TexturedRect& rect, float x, float y, float width, float height);
// The quad setRectQuad would make, cut down to the rectangle's visible
// texels: the same pixels on screen for a fraction of the fill. False (and
// nothing set) when the image has no visible texel.
bool setVisibleRectQuad(TexturedRect& rect, float x, float y, float width, float height);
HRESULT buildRotatedQuad(TexturedRect* rect, std::uint32_t colour, float x, float y, float left,
                         float top, float right, float bottom, float angleDegrees);
HRESULT loadTextureFromFile(IDirect3DDevice9* device, const std::wstring& path,
                            IDirect3DTexture9** texture, std::int32_t* width, std::int32_t* height,
                            TexelBounds* visible = nullptr);
HRESULT loadTexturedRect(IDirect3DDevice9* device, const std::wstring& path, float x, float y,
                         float width, float height, TexturedRect* rect);
void SetupVertex2DRenderState(IDirect3DDevice9* device);
// Binds `texture` to stage 0 unless it is there already. The first bind of a
// pass (lastBoundTexture empty) also sets the vertex format, which nothing
// changes between our draws within a pass.
void bindQuadTexture(IDirect3DDevice9* device, IDirect3DBaseTexture9* texture);
void drawTexturedQuad(IDirect3DDevice9* device, IDirect3DTexture9* texture, const Vertex2D* vertices);
// A quad's strip (top-left, top-right, bottom-left, bottom-right) as the six
// vertices of its two triangles, the same two the strip draws.
void quadAsTriangles(const Vertex2D* strip, Vertex2D* triangles);
// `quads` quads, six vertices each (quadAsTriangles), in one draw with one
// texture: later quads blend over earlier ones as separate draws would.
void drawTexturedQuadList(IDirect3DDevice9* device, IDirect3DTexture9* texture, const Vertex2D* triangles,
                          UINT quads);
inline void drawTexturedQuad(IDirect3DDevice9* device, const TexturedRect& rect) {
  drawTexturedQuad(device, rect.texture, rect.vertices);
}

}  // namespace ostrel
