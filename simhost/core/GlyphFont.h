#pragma once
// The host's own text for an extended device, which refuses the managed pool
// that D3DX fonts keep their glyphs in: the printable ASCII glyphs of one GDI
// font drawn once into an atlas in memory, copied into a dynamic default-pool
// texture on first use, and drawn as one batch of textured quads per string.
#include <d3d9.h>

#include <cstdint>
#include <vector>

namespace simhost {

class GlyphFont {
 public:
  // The same face, height (a LOGFONT height) and weight as the D3DX fonts.
  GlyphFont(int height, int weight, const char* face);
  ~GlyphFont();
  GlyphFont(const GlyphFont&) = delete;
  GlyphFont& operator=(const GlyphFont&) = delete;

  bool ok() const { return !atlas_.empty(); }
  // Text from (x, y) as its top-left corner, or centred on (x, y).
  void draw(IDirect3DDevice9* device, const char* text, int x, int y, bool centred, D3DCOLOR colour);
  // Several copies of the same string offset by `offsets` ({dx, dy} pairs) in
  // `shadow`, then the string itself in `colour`: the outline in one batch.
  void drawOutlined(IDirect3DDevice9* device, const char* text, int x, int y, bool centred, D3DCOLOR colour,
                    D3DCOLOR shadow, const int (*offsets)[2], int count);
  // The texture goes (before a Reset that needs it, or a new device); it is
  // made again on the next draw.
  void releaseTexture();

 private:
  struct Glyph {
    int x = 0, y = 0, width = 0;
  };
  struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
  };
  bool ensureTexture(IDirect3DDevice9* device);
  int widthOf(const char* text) const;
  void addQuads(std::vector<Vertex>& out, const char* text, int x, int y, D3DCOLOR colour) const;
  void drawBatch(IDirect3DDevice9* device, const std::vector<Vertex>& vertices);

  static constexpr int kAtlasSize = 256;
  std::vector<std::uint32_t> atlas_;  // 0xAARRGGBB, white with the glyph's coverage as alpha
  Glyph glyphs_[95];                  // ' ' .. '~'
  int cellHeight_ = 0;
  IDirect3DTexture9* texture_ = nullptr;
  IDirect3DDevice9* textureDevice_ = nullptr;  // not held: the texture holds it
};

}  // namespace simhost
