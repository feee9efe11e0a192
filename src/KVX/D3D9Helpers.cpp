#include "KVX/D3D9Helpers.h"

#include <cmath>
#include <vector>

#include "KVX/ComRelease.h"
#include "KVX/FilledTexture.h"
#include "KVX/ImageDecoder.h"
#include "KVX/Matrix4.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel {

IDirect3DBaseTexture9* lastBoundTexture = nullptr;

HRESULT D3D9CreateRectangleVertexTex2D(Vertex2D* v, float x, float y, float w, float h,
                                       std::uint32_t colour) {
  if (!v) {
    logText(FT("D3D9CreateRectangleVertexTex2D: Invalid arg"));
    return E_INVALIDARG;
  }
  v[0] = {x, y, 0.0f, 1.0f, colour, 0.0f, 0.0f};
  v[1] = {x + w, y, 0.0f, 1.0f, colour, 1.0f, 0.0f};
  v[2] = {x, y + h, 0.0f, 1.0f, colour, 0.0f, 1.0f};
  v[3] = {x + w, y + h, 0.0f, 1.0f, colour, 1.0f, 1.0f};
  return S_OK;
}

HRESULT setRectQuad(TexturedRect& rect, float x, float y, float w, float h) {
  if (w == 0.0f && h == 0.0f) {
    w = static_cast<float>(rect.width);
    h = static_cast<float>(rect.height);
  }
  return D3D9CreateRectangleVertexTex2D(rect.vertices, x, y, w, h, 0xFFFFFFFFu);
}

bool setVisibleRectQuad(TexturedRect& rect, float x, float y, float w, float h) {
  if (rect.visible.empty() || rect.width <= 0 || rect.height <= 0) return false;
  if (w == 0.0f && h == 0.0f) {
    w = static_cast<float>(rect.width);
    h = static_cast<float>(rect.height);
  }
  const float tw = static_cast<float>(rect.width), th = static_cast<float>(rect.height);
  const float u0 = static_cast<float>(rect.visible.left) / tw, u1 = static_cast<float>(rect.visible.right) / tw;
  const float v0 = static_cast<float>(rect.visible.top) / th, v1 = static_cast<float>(rect.visible.bottom) / th;
  const float x0 = x + w * u0, x1 = x + w * u1, y0 = y + h * v0, y1 = y + h * v1;
  Vertex2D* v = rect.vertices;
  v[0] = {x0, y0, 0.0f, 1.0f, 0xFFFFFFFFu, u0, v0};
  v[1] = {x1, y0, 0.0f, 1.0f, 0xFFFFFFFFu, u1, v0};
  v[2] = {x0, y1, 0.0f, 1.0f, 0xFFFFFFFFu, u0, v1};
  v[3] = {x1, y1, 0.0f, 1.0f, 0xFFFFFFFFu, u1, v1};
  return true;
}

HRESULT buildRotatedQuad(TexturedRect* rect, std::uint32_t colour, float x, float y, float left,
                         float top, float right, float bottom, float angle) {
  if (!rect) return E_INVALIDARG;
  const float W = right - left;
  const float H = bottom - top;
  const float tw = static_cast<float>(rect->width);
  const float th = static_cast<float>(rect->height);
  Vertex2D* v = rect->vertices;
  v[0] = {0.0f, 0.0f, 0.0f, 1.0f, colour, left / tw, top / th};
  v[1] = {W, 0.0f, 0.0f, 1.0f, colour, right / tw, top / th};
  v[2] = {0.0f, H, 0.0f, 1.0f, colour, left / tw, bottom / th};
  v[3] = {W, H, 0.0f, 1.0f, colour, right / tw, bottom / th};
  const Matrix4 m = multiply(multiply(translationMatrix(-W * 0.5f, -H * 0.5f, 0.0f),
                                      rotationZMatrix(angle * 0.017453292f)),
                             translationMatrix(W * 0.5f + x, H * 0.5f + y, 0.0f));
  for (int i = 0; i < 4; ++i) {
    const Vector4 out = transform({v[i].x, v[i].y, 0.0f, 1.0f}, m);
    v[i].x = out.x;
    v[i].y = out.y;
  }
  return S_OK;
}

HRESULT loadTextureFromFile(IDirect3DDevice9* device, const std::wstring& path,
                            IDirect3DTexture9** texture, std::int32_t* width, std::int32_t* height,
                            TexelBounds* visible) {
  if (path.empty() || !device || !texture || !width || !height) return E_INVALIDARG;
  std::vector<BYTE> pixels;
  UINT w = 0, h = 0;
  HRESULT hr = decodeImageFile(path, pixels, w, h);
  if (FAILED(hr)) return hr;
  *width = static_cast<std::int32_t>(w);
  *height = static_cast<std::int32_t>(h);
  IDirect3DTexture9* created = nullptr;
  hr = createFilledTexture(
      device, w, h,
      [&](std::uint8_t* bits, INT pitch) {
        // Rows go at the texture's pitch, which may be wider than the image.
        for (UINT row = 0; row < h; ++row)
          memcpy(bits + static_cast<size_t>(row) * pitch, pixels.data() + static_cast<size_t>(row) * w * 4,
                 static_cast<size_t>(w) * 4);
      },
      &created);
  if (SUCCEEDED(hr)) {
    // Two texels of margin: a bilinear sample next to the visible pixels
    // still falls inside the box.
    if (visible) *visible = visibleBounds(pixels.data(), static_cast<std::int32_t>(w), static_cast<std::int32_t>(h), 2);
    *texture = created;
  }
  return hr;
}

HRESULT loadTexturedRect(IDirect3DDevice9* device, const std::wstring& path, float x, float y,
                         float w, float h, TexturedRect* rect) {
  if (!device || !rect || path.empty()) return E_INVALIDARG;
  rect->release();
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return E_INVALIDARG;
  IDirect3DTexture9* texture = nullptr;
  HRESULT hr = loadTextureFromFile(device, path, &texture, &rect->width, &rect->height, &rect->visible);
  if (FAILED(hr)) {
    releaseCom(texture);
    return hr;
  }
  hr = setRectQuad(*rect, x, y, w, h);
  if (FAILED(hr)) {
    releaseCom(texture);
    return hr;
  }
  rect->texture = texture;
  return S_OK;
}

void SetupVertex2DRenderState(IDirect3DDevice9* device) {
  const char* fn = FT("SetupVertex2DRenderState");
  const char* file = FT("KVX\\D3D9Helpers");
  auto check = [&](HRESULT hr, int line) {
    if (FAILED(hr)) logErrorReport(file, fn, line, hr);
  };
  check(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE), 2003);
  check(device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE), 2004);
  check(device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE), 2005);
  check(device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE), 2007);
  check(device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE), 2008);
  check(device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE), 2009);
  check(device->SetTextureStageState(0, D3DTSS_RESULTARG, D3DTA_CURRENT), 2011);
  check(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), 2012);
}

void bindQuadTexture(IDirect3DDevice9* device, IDirect3DBaseTexture9* texture) {
  if (texture == lastBoundTexture) return;
  if (!lastBoundTexture) device->SetFVF(kVertex2DFvf);
  device->SetTexture(0, texture);
  lastBoundTexture = texture;
}

void drawTexturedQuad(IDirect3DDevice9* device, IDirect3DTexture9* texture, const Vertex2D* vertices) {
  if (!texture) {
    lastBoundTexture = nullptr;
    return;
  }
  bindQuadTexture(device, texture);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof(Vertex2D));
}

void quadAsTriangles(const Vertex2D* strip, Vertex2D* t) {
  // A strip's second triangle runs 2, 1, 3 (its winding kept).
  t[0] = strip[0];
  t[1] = strip[1];
  t[2] = strip[2];
  t[3] = strip[2];
  t[4] = strip[1];
  t[5] = strip[3];
}

void drawTexturedQuadList(IDirect3DDevice9* device, IDirect3DTexture9* texture, const Vertex2D* triangles,
                          UINT quads) {
  if (!texture) {
    lastBoundTexture = nullptr;
    return;
  }
  if (quads == 0) return;
  bindQuadTexture(device, texture);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, quads * 2, triangles, sizeof(Vertex2D));
}

}  // namespace ostrel
