#include "GlyphFont.h"

#include <windows.h>

#include <cstring>

namespace simhost {
namespace {

constexpr char kFirst = ' ', kLast = '~';

// What the text's drawing changes, given back afterwards: the plug-in caches
// what it bound last.
class KeptState {
 public:
  explicit KeptState(IDirect3DDevice9* d) : d_(d) {
    d_->GetTexture(0, &texture_);
    d_->GetFVF(&fvf_);
    d_->GetVertexDeclaration(&declaration_);
    d_->GetVertexShader(&vertexShader_);
    d_->GetPixelShader(&pixelShader_);
    for (int i = 0; i < kRenderStates; ++i) d_->GetRenderState(kRenderStateIds[i], &render_[i]);
    for (int i = 0; i < kStageStates; ++i) d_->GetTextureStageState(kStageIds[i].stage, kStageIds[i].type, &stage_[i]);
    for (int i = 0; i < kSamplerStates; ++i) d_->GetSamplerState(0, kSamplerIds[i], &sampler_[i]);
  }
  ~KeptState() {
    d_->SetTexture(0, texture_);
    if (texture_) texture_->Release();
    if (fvf_ || !declaration_) d_->SetFVF(fvf_);
    else d_->SetVertexDeclaration(declaration_);
    if (declaration_) declaration_->Release();
    d_->SetVertexShader(vertexShader_);
    if (vertexShader_) vertexShader_->Release();
    d_->SetPixelShader(pixelShader_);
    if (pixelShader_) pixelShader_->Release();
    for (int i = 0; i < kRenderStates; ++i) d_->SetRenderState(kRenderStateIds[i], render_[i]);
    for (int i = 0; i < kStageStates; ++i) d_->SetTextureStageState(kStageIds[i].stage, kStageIds[i].type, stage_[i]);
    for (int i = 0; i < kSamplerStates; ++i) d_->SetSamplerState(0, kSamplerIds[i], sampler_[i]);
  }
  KeptState(const KeptState&) = delete;
  KeptState& operator=(const KeptState&) = delete;

 private:
  static constexpr int kRenderStates = 9;
  static constexpr D3DRENDERSTATETYPE kRenderStateIds[kRenderStates] = {
      D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND, D3DRS_DESTBLEND, D3DRS_ZENABLE,          D3DRS_CULLMODE,
      D3DRS_LIGHTING,         D3DRS_ALPHATESTENABLE,           D3DRS_FOGENABLE,        D3DRS_STENCILENABLE};
  struct StageState {
    DWORD stage;
    D3DTEXTURESTAGESTATETYPE type;
  };
  static constexpr int kStageStates = 8;
  static constexpr StageState kStageIds[kStageStates] = {
      {0, D3DTSS_COLOROP}, {0, D3DTSS_COLORARG1}, {0, D3DTSS_COLORARG2}, {0, D3DTSS_ALPHAOP},
      {0, D3DTSS_ALPHAARG1}, {0, D3DTSS_ALPHAARG2}, {1, D3DTSS_COLOROP}, {1, D3DTSS_ALPHAOP}};
  static constexpr int kSamplerStates = 5;
  static constexpr D3DSAMPLERSTATETYPE kSamplerIds[kSamplerStates] = {
      D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER, D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV};

  IDirect3DDevice9* d_;
  IDirect3DBaseTexture9* texture_ = nullptr;
  DWORD fvf_ = 0;
  IDirect3DVertexDeclaration9* declaration_ = nullptr;
  IDirect3DVertexShader9* vertexShader_ = nullptr;
  IDirect3DPixelShader9* pixelShader_ = nullptr;
  DWORD render_[kRenderStates] = {};
  DWORD stage_[kStageStates] = {};
  DWORD sampler_[kSamplerStates] = {};
};

}  // namespace

GlyphFont::GlyphFont(int height, int weight, const char* face) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = kAtlasSize;
  bi.bmiHeader.biHeight = -kAtlasSize;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HFONT font = CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
  if (bitmap && bits && font) {
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font);
    std::memset(bits, 0, static_cast<std::size_t>(kAtlasSize) * kAtlasSize * 4);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    cellHeight_ = metrics.tmHeight;
    int x = 0, y = 0;
    bool fits = cellHeight_ > 0;
    for (char c = kFirst; fits && c <= kLast; ++c) {
      SIZE size{};
      GetTextExtentPoint32A(dc, &c, 1, &size);
      const int cell = size.cx + 1;  // a column between glyphs keeps filtering apart
      if (x + cell > kAtlasSize) x = 0, y += cellHeight_ + 1;
      if (y + cellHeight_ > kAtlasSize) {
        fits = false;
        break;
      }
      TextOutA(dc, x, y, &c, 1);
      glyphs_[c - kFirst] = Glyph{x, y, static_cast<int>(size.cx)};
      x += cell;
    }
    GdiFlush();
    if (fits) {
      atlas_.resize(static_cast<std::size_t>(kAtlasSize) * kAtlasSize);
      const auto* pixels = static_cast<const std::uint32_t*>(bits);
      for (std::size_t i = 0; i < atlas_.size(); ++i) {
        const std::uint32_t coverage = (pixels[i] >> 16) & 0xFF;  // red of white-on-black
        atlas_[i] = coverage << 24 | 0x00FFFFFFu;
      }
    }
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
  }
  if (font) DeleteObject(font);
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(dc);
}

GlyphFont::~GlyphFont() { releaseTexture(); }

void GlyphFont::releaseTexture() {
  if (texture_) texture_->Release();
  texture_ = nullptr;
  textureDevice_ = nullptr;
}

bool GlyphFont::ensureTexture(IDirect3DDevice9* device) {
  if (texture_ && textureDevice_ == device) return true;
  releaseTexture();
  if (atlas_.empty()) return false;
  IDirect3DTexture9* t = nullptr;
  if (FAILED(device->CreateTexture(kAtlasSize, kAtlasSize, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t,
                                   nullptr)) ||
      !t)
    return false;
  D3DLOCKED_RECT locked{};
  if (FAILED(t->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD))) {
    t->Release();
    return false;
  }
  for (int row = 0; row < kAtlasSize; ++row)
    std::memcpy(static_cast<char*>(locked.pBits) + row * locked.Pitch, &atlas_[static_cast<std::size_t>(row) * kAtlasSize],
                kAtlasSize * 4);
  t->UnlockRect(0);
  texture_ = t;
  textureDevice_ = device;
  return true;
}

int GlyphFont::widthOf(const char* text) const {
  int w = 0;
  for (const char* p = text; *p; ++p)
    if (*p >= kFirst && *p <= kLast) w += glyphs_[*p - kFirst].width;
  return w;
}

void GlyphFont::addQuads(std::vector<Vertex>& out, const char* text, int x, int y, D3DCOLOR colour) const {
  const float scale = 1.0f / kAtlasSize, h = static_cast<float>(cellHeight_);
  float at = static_cast<float>(x) - 0.5f;
  const float top = static_cast<float>(y) - 0.5f;
  for (const char* p = text; *p; ++p) {
    if (*p < kFirst || *p > kLast) continue;
    const Glyph& g = glyphs_[*p - kFirst];
    const float w = static_cast<float>(g.width);
    const float u0 = g.x * scale, v0 = g.y * scale, u1 = (g.x + g.width) * scale, v1 = (g.y + cellHeight_) * scale;
    const Vertex a{at, top, 0, 1, colour, u0, v0}, b{at + w, top, 0, 1, colour, u1, v0},
        c{at, top + h, 0, 1, colour, u0, v1}, d{at + w, top + h, 0, 1, colour, u1, v1};
    out.insert(out.end(), {a, b, c, b, d, c});
    at += w;
  }
}

void GlyphFont::drawBatch(IDirect3DDevice9* device, const std::vector<Vertex>& vertices) {
  if (vertices.empty() || !ensureTexture(device)) return;
  const KeptState kept(device);
  device->SetTexture(0, texture_);
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  device->SetVertexShader(nullptr);
  device->SetPixelShader(nullptr);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetRenderState(D3DRS_ZENABLE, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device->SetRenderState(D3DRS_FOGENABLE, FALSE);
  device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
  // The colour from the vertices, the coverage from the atlas.
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3), vertices.data(), sizeof(Vertex));
}

void GlyphFont::draw(IDirect3DDevice9* device, const char* text, int x, int y, bool centred, D3DCOLOR colour) {
  drawOutlined(device, text, x, y, centred, colour, 0, nullptr, 0);
}

void GlyphFont::drawOutlined(IDirect3DDevice9* device, const char* text, int x, int y, bool centred, D3DCOLOR colour,
                             D3DCOLOR shadow, const int (*offsets)[2], int count) {
  if (!text || !ok()) return;
  if (centred) {
    x -= widthOf(text) / 2;
    y -= cellHeight_ / 2;
  }
  std::vector<Vertex> vertices;
  for (int i = 0; i < count; ++i) addQuads(vertices, text, x + offsets[i][0], y + offsets[i][1], shadow);
  addQuads(vertices, text, x, y, colour);
  drawBatch(device, vertices);
}

}  // namespace simhost
