// A renderer through its device's life, on a real device: letting go of its
// device objects before a Reset, drawing on the texture the host makes
// again, and host textures that cannot be render targets (the managed pool,
// formats no target can have).
#include "GaugeScene.h"

#include <set>

#include "hooks/TextureLoadHook.h"

using namespace gauge_tests;

namespace {

IDirect3DTexture9* makeTexture(IDirect3DDevice9* device, D3DPOOL pool, D3DFORMAT format = D3DFMT_A8R8G8B8) {
  IDirect3DTexture9* t = nullptr;
  const DWORD usage = pool == D3DPOOL_DEFAULT ? D3DUSAGE_RENDERTARGET : 0;
  if (FAILED(device->CreateTexture(512, 256, 1, usage, format, pool, &t, nullptr))) return nullptr;
  return t;
}

// ARGB pixels of level 0, whatever the pool.
std::vector<std::uint32_t> texturePixels(IDirect3DTexture9* t) {
  D3DSURFACE_DESC desc{};
  t->GetLevelDesc(0, &desc);
  if (desc.Pool == D3DPOOL_DEFAULT) {
    IDirect3DSurface9* s = nullptr;
    t->GetSurfaceLevel(0, &s);
    auto p = sharedDevice().readPixels(s);
    s->Release();
    return p;
  }
  std::vector<std::uint32_t> p(static_cast<std::size_t>(desc.Width) * desc.Height);
  D3DLOCKED_RECT lr{};
  if (FAILED(t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY))) return {};
  for (UINT y = 0; y < desc.Height; ++y)
    std::memcpy(&p[y * desc.Width], static_cast<const char*>(lr.pBits) + y * lr.Pitch, desc.Width * 4);
  t->UnlockRect(0);
  return p;
}

void fillTexture(IDirect3DTexture9* t, std::uint32_t colour) {
  D3DSURFACE_DESC desc{};
  t->GetLevelDesc(0, &desc);
  if (desc.Pool == D3DPOOL_DEFAULT) {
    IDirect3DSurface9* s = nullptr;
    t->GetSurfaceLevel(0, &s);
    sharedDevice().device()->ColorFill(s, nullptr, colour);
    s->Release();
    return;
  }
  D3DLOCKED_RECT lr{};
  if (FAILED(t->LockRect(0, &lr, nullptr, 0))) return;
  for (UINT y = 0; y < desc.Height; ++y)
    for (UINT x = 0; x < desc.Width; ++x)
      reinterpret_cast<std::uint32_t*>(static_cast<char*>(lr.pBits) + y * lr.Pitch)[x] = colour;
  t->UnlockRect(0);
}

std::uint32_t pixelAt(const std::vector<std::uint32_t>& p, int x, int y) { return p.at(y * 512 + x) | 0xFF000000u; }

}  // namespace

class DeviceLife : public GaugeScene {
 protected:
  void SetUp() override {
    GaugeScene::SetUp();
    ASSERT_TRUE(writeSolid(path("img.png"), 32, 32, 0xFFFFFFFFu));
    // A bar of white over the top-left corner, the rest the plain base.
    definition("[Bar]\nType=bar\nImage=img.png\nValueSource=rpm\nMax=100\n");
    host.rpm(100.0f);
  }
  void renderInto(ostrel::TextureHandler& h) {
    clock.advance(0.02);
    device->BeginScene();
    h.Render();
    device->EndScene();
  }
  // The bar drawn, the rest the base image.
  static bool showsGauges(const std::vector<std::uint32_t>& p) {
    return !p.empty() && pixelAt(p, 10, 10) == 0xFFFFFFFFu && pixelAt(p, 300, 200) == kBase;
  }
};

TEST_F(DeviceLife, RendererLetsGoOfItsDeviceObjectsAndDrawsOnTheTextureMadeAgain) {
  for (D3DPOOL pool : {D3DPOOL_DEFAULT, D3DPOOL_MANAGED}) {
    SCOPED_TRACE(pool == D3DPOOL_DEFAULT ? "render target" : "managed texture");
    IDirect3DTexture9* first = makeTexture(device, pool);
    IDirect3DTexture9* again = makeTexture(device, pool);
    ASSERT_TRUE(first && again);
    const ULONG hostRefs = refCount(first);
    {
      const std::size_t logBefore = logSize();
      ostrel::TextureHandler h(device, first, path("Gauges.ini"), basePath);
      ASSERT_TRUE(h.active());
      renderInto(h);
      EXPECT_TRUE(showsGauges(texturePixels(first)));
      EXPECT_TRUE(h.holdsDeviceObjects());

      // Before a Reset: nothing of the default pool stays. A managed texture
      // survives a Reset and is kept.
      h.releaseDeviceObjects();
      EXPECT_FALSE(h.holdsDeviceObjects());
      EXPECT_EQ(refCount(first), pool == D3DPOOL_DEFAULT ? hostRefs : hostRefs + 1);
      fillTexture(first, kMagenta);
      renderInto(h);
      EXPECT_EQ(pixelAt(texturePixels(first), 300, 200), pool == D3DPOOL_DEFAULT ? kMagenta : kBase)
          << "a released render target is not drawn on; a managed one is, from a target made anew";

      // The host made its texture again: the same renderer draws there only.
      h.bindTarget(again);
      fillTexture(first, kMagenta);
      renderInto(h);
      renderInto(h);
      EXPECT_TRUE(showsGauges(texturePixels(again)));
      EXPECT_EQ(pixelAt(texturePixels(first), 300, 200), kMagenta);
      EXPECT_EQ(refCount(first), hostRefs);
      EXPECT_EQ(countOf(logSince(logBefore), "Error in file"), 0) << logSince(logBefore);
      EXPECT_EQ(countOf(logSince(logBefore), "could not"), 0) << logSince(logBefore);
    }
    EXPECT_EQ(refCount(again), hostRefs);
    first->Release();
    again->Release();
  }
}

// The host's texture function stands in: it records what it was asked and
// refuses the formats of `refused` (as a render target).
struct TextureCall {
  DWORD usage;
  D3DFORMAT format;
  D3DPOOL pool;
  UINT levels;
};
std::vector<TextureCall> calls;
std::set<D3DFORMAT> refused;
HRESULT WINAPI recordingTextureFunction(IDirect3DDevice9* device, LPCSTR, UINT, UINT, UINT levels, DWORD usage,
                                        D3DFORMAT format, D3DPOOL pool, DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*,
                                        PALETTEENTRY*, IDirect3DTexture9** out) {
  calls.push_back({usage, format, pool, levels});
  *out = reinterpret_cast<IDirect3DTexture9*>(0x1);  // what a failing library may leave
  if ((usage & D3DUSAGE_RENDERTARGET) && refused.count(format)) return D3DERR_INVALIDCALL;
  return device->CreateTexture(64, 32, levels, usage, format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : format, pool,
                               out, nullptr);
}

TEST_F(DeviceLife, ClaimedTexturesAreMadeSoThatGaugesCanBeDrawnOnThem) {
  struct Case {
    const char* what;
    D3DPOOL pool;
    D3DFORMAT asked;
    std::set<D3DFORMAT> refused;
    std::vector<TextureCall> expected;  // empty: no texture for gauges
  };
  const DWORD rt = D3DUSAGE_RENDERTARGET;
  const Case cases[] = {
      {"as the file", D3DPOOL_DEFAULT, D3DFMT_UNKNOWN, {}, {{rt, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, 1}}},
      {"16-bit target", D3DPOOL_DEFAULT, D3DFMT_R5G6B5, {}, {{rt, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, 1}}},
      {"refused, no alpha", D3DPOOL_DEFAULT, D3DFMT_R5G6B5, {D3DFMT_R5G6B5},
       {{rt, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, 1}, {rt, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, 1}}},
      {"refused, alpha", D3DPOOL_DEFAULT, D3DFMT_UNKNOWN, {D3DFMT_UNKNOWN},
       {{rt, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, 1}, {rt, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, 1}}},
      // Compressed formats can be no target: straight to the nearest one.
      {"compressed", D3DPOOL_DEFAULT, D3DFMT_DXT5, {}, {{rt, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, 1}}},
      {"no target at all", D3DPOOL_DEFAULT, D3DFMT_A8R8G8B8, {D3DFMT_A8R8G8B8}, {{rt, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, 1}}},
      {"managed", D3DPOOL_MANAGED, D3DFMT_UNKNOWN, {}, {{0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, 1}}},
      {"managed compressed", D3DPOOL_MANAGED, D3DFMT_DXT1, {}, {{0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, 1}}},
      {"system memory", D3DPOOL_SYSTEMMEM, D3DFMT_A8R8G8B8, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    calls.clear();
    refused = c.refused;
    IDirect3DTexture9* made = nullptr;
    std::string why;
    const HRESULT hr = ostrel::createClaimedTexture(&recordingTextureFunction, device, "dash.png", 0, 0, 0, c.asked,
                                                    c.pool, 0, 0, 0, nullptr, nullptr, &made, why);
    const bool gaugesPossible = c.pool != D3DPOOL_SYSTEMMEM && c.what != std::string("no target at all");
    EXPECT_EQ(SUCCEEDED(hr), gaugesPossible);
    EXPECT_EQ(made != nullptr, gaugesPossible);
    EXPECT_EQ(why.empty(), gaugesPossible) << why;
    ASSERT_EQ(calls.size(), c.expected.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ(calls[i].usage, c.expected[i].usage) << i;
      EXPECT_EQ(calls[i].format, c.expected[i].format) << i;
      EXPECT_EQ(calls[i].pool, c.expected[i].pool) << i;
      EXPECT_EQ(calls[i].levels, 1u) << i;
    }
    if (made) made->Release();
  }
}
