// The plug-in's own stand-ins for the D3DX library, judged against D3DX on the
// real platform: the matrix helpers, and gauge base images decoded by the
// plug-in itself. Also which loader serves when the runtime is missing.
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "GaugeScene.h"
#include "KVX/Matrix4.h"
#include "KVX/TextureFileLoader.h"

using namespace gauge_tests;

namespace {

void expectSameMatrix(const ostrel::Matrix4& ours, const D3DXMATRIX& theirs, const char* what) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      EXPECT_NEAR(ours.m[i][j], theirs.m[i][j], 1e-5f * (1.0f + std::fabs(theirs.m[i][j])))
          << what << " [" << i << "][" << j << "]";
}

}  // namespace

TEST(OwnMatrixMath, MatchesD3DX) {
  for (float a : {0.0f, 0.5f, -1.25f, 3.14159265f, 4.712389f, 100.0f}) {
    D3DXMATRIX d;
    D3DXMatrixRotationZ(&d, a);
    expectSameMatrix(ostrel::rotationZMatrix(a), d, "rotation");
  }
  // The rotated quad's composition: T1 x R x T2, applied to its corners.
  const float W = 80, H = 6, x = 256, y = 128;
  for (float angle : {0.0f, 37.0f, 135.0f, 270.0f, -45.0f}) {
    D3DXMATRIX t1, r, t2, m;
    D3DXMatrixTranslation(&t1, -W * 0.5f, -H * 0.5f, 0.0f);
    D3DXMatrixRotationZ(&r, angle * 0.017453292f);
    D3DXMatrixTranslation(&t2, W * 0.5f + x, H * 0.5f + y, 0.0f);
    D3DXMatrixMultiply(&m, &t1, &r);
    D3DXMatrixMultiply(&m, &m, &t2);
    const ostrel::Matrix4 ours =
        ostrel::multiply(ostrel::multiply(ostrel::translationMatrix(-W * 0.5f, -H * 0.5f, 0.0f),
                                          ostrel::rotationZMatrix(angle * 0.017453292f)),
                         ostrel::translationMatrix(W * 0.5f + x, H * 0.5f + y, 0.0f));
    expectSameMatrix(ours, m, "rotated quad");
    for (D3DXVECTOR4 corner : {D3DXVECTOR4(0, 0, 0, 1), D3DXVECTOR4(W, 0, 0, 1), D3DXVECTOR4(0, H, 0, 1),
                               D3DXVECTOR4(W, H, 0, 1)}) {
      D3DXVECTOR4 theirs;
      D3DXVec4Transform(&theirs, &corner, &m);
      const ostrel::Vector4 mine = ostrel::transform({corner.x, corner.y, corner.z, corner.w}, ours);
      EXPECT_NEAR(mine.x, theirs.x, 1e-3f) << angle;
      EXPECT_NEAR(mine.y, theirs.y, 1e-3f) << angle;
      EXPECT_NEAR(mine.w, theirs.w, 1e-6f) << angle;
    }
  }
}

class OwnBaseImageDecoder : public GaugeScene {
 protected:
  // The image's level 0 as 0xAARRGGBB pixels, and its size.
  static std::vector<std::uint32_t> texels(IDirect3DTexture9* t, UINT& w, UINT& h) {
    D3DSURFACE_DESC desc{};
    t->GetLevelDesc(0, &desc);
    w = desc.Width;
    h = desc.Height;
    std::vector<std::uint32_t> out(static_cast<size_t>(w) * h);
    D3DLOCKED_RECT lr{};
    if (SUCCEEDED(t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY))) {
      for (UINT y = 0; y < h; ++y) memcpy(&out[static_cast<size_t>(y) * w], static_cast<char*>(lr.pBits) + y * lr.Pitch, w * 4);
      t->UnlockRect(0);
    }
    return out;
  }
  static int worstChannelDifference(std::uint32_t a, std::uint32_t b) {
    int worst = 0;
    for (int s = 0; s < 32; s += 8)
      worst = std::max(worst, std::abs(static_cast<int>(a >> s & 0xFF) - static_cast<int>(b >> s & 0xFF)));
    return worst;
  }
};

// What D3DX makes of the same file with the renderer's arguments, side by side
// with the plug-in's own decoder: same size (sides rounded up to powers of
// two), same texels (straight alpha), within the filters' rounding.
TEST_F(OwnBaseImageDecoder, MatchesD3DXForOpaqueTranslucentAndOddSizedImages) {
  struct Case {
    const char* name;
    UINT w, h;
    std::uint32_t (*colour)(UINT, UINT);
    int tolerance;
  };
  const Case cases[] = {
      {"opaque.png", 64, 32, [](UINT x, UINT y) { return 0xFF000000u | (x * 4) << 16 | (y * 8) << 8 | 0x40u; }, 0},
      {"translucent.png", 16, 16, [](UINT x, UINT) { return (x < 8 ? 0x80C86432u : 0x20FF8000u); }, 2},
      {"odd.png", 100, 60, [](UINT x, UINT y) { return 0xFF000000u | (x * 2) << 16 | (y * 4) << 8 | 0x80u; }, 6},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(writeImage(path(c.name), c.w, c.h, c.colour)) << c.name;
    IDirect3DTexture9 *theirs = nullptr, *ours = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device, path(c.name).c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                           D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                           nullptr, nullptr, &theirs),
              D3D_OK)
        << c.name;
    ASSERT_EQ(ostrel::decodeGaugeBaseImage(device, path(c.name), &ours), D3D_OK) << c.name;
    D3DSURFACE_DESC desc{};
    ours->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(ours->GetLevelCount(), 1u);
    UINT tw = 0, th = 0, ow = 0, oh = 0;
    const auto a = texels(theirs, tw, th), b = texels(ours, ow, oh);
    EXPECT_EQ(ow, tw) << c.name;
    EXPECT_EQ(oh, th) << c.name;
    if (ow == tw && oh == th) {
      int worst = 0;
      for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, worstChannelDifference(a[i], b[i]));
      EXPECT_LE(worst, c.tolerance) << c.name;
    }
    theirs->Release();
    ours->Release();
  }
  // No decoder can read it: a failure, no texture.
  definition("not an image", "broken.png");
  IDirect3DTexture9* none = nullptr;
  EXPECT_LT(ostrel::decodeGaugeBaseImage(device, path("broken.png"), &none), 0);
  EXPECT_EQ(none, nullptr);
}

// d3dx9_43.dll first, then the game's own function, then another D3DX 9
// library already in the process, then the plug-in's decoder.
TEST(TextureFileLoaderChoice, RuntimeThenGameFunctionThenLoadedLibraryThenOwnDecoder) {
  HMODULE runtime = GetModuleHandleA("d3dx9_43.dll");  // this test program links it
  ASSERT_NE(runtime, nullptr);
  void* runtimeFunction = reinterpret_cast<void*>(GetProcAddress(runtime, "D3DXCreateTextureFromFileExA"));
  int gameFunction = 0;  // stands for the host's function: compared, never called
  const char* loaded[] = {"d3dx9_99.dll", "d3dx9_43.dll"};
  struct Case {
    const char* runtimeName;
    void* host;
    int loadedCount;
    void* function;
    const char* origin;
  };
  const Case cases[] = {
      {"d3dx9_43.dll", &gameFunction, 2, runtimeFunction, "d3dx9_43.dll"},
      {"d3dx9_99.dll", &gameFunction, 2, &gameFunction, "the game's texture function"},
      {"d3dx9_99.dll", nullptr, 2, runtimeFunction, "d3dx9_43.dll"},
      {"d3dx9_99.dll", nullptr, 1, nullptr, "the plug-in's own decoder (no D3DX 9 library in the game)"},
      {nullptr, nullptr, 0, nullptr, "the plug-in's own decoder (no D3DX 9 library in the game)"},
  };
  for (const Case& c : cases) {
    const ostrel::TextureFileLoader l = ostrel::chooseTextureFileLoader(c.runtimeName, c.host, loaded, c.loadedCount);
    EXPECT_EQ(reinterpret_cast<void*>(l.function), c.function) << c.origin;
    EXPECT_EQ(l.origin, c.origin);
  }
}
