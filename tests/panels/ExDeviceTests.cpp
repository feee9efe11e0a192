// An IDirect3DDevice9Ex refuses the managed pool: there the panels' images
// and the damage diagram's atlas come in the default pool, filled through
// system memory, and draw as on an ordinary device, where they stay managed.
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "KVX/AtlasLayout.h"
#include "KVX/D3D9Helpers.h"
#include "KVX/FilledTexture.h"
#include "KVX/ImageAtlas.h"

using namespace ostrel;

namespace {

using CreateEx = HRESULT(WINAPI*)(UINT, IDirect3D9Ex**);

class ExDevice : public testing::Test {
 protected:
  // A 64 x 64 windowed back buffer, at creation and at the Reset alike.
  static D3DPRESENT_PARAMETERS presentation() {
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.BackBufferWidth = 64;
    pp.BackBufferHeight = 64;
    pp.hDeviceWindow = window_;
    return pp;
  }
  static void SetUpTestSuite() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "OstrelExDeviceTest";
    RegisterClassA(&wc);
    window_ = CreateWindowA(wc.lpszClassName, "ex", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr, wc.hInstance, nullptr);
    auto create = reinterpret_cast<CreateEx>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("d3d9.dll"), "Direct3DCreate9Ex")));
    if (!window_ || !create || FAILED(create(D3D_SDK_VERSION, &d3d_))) return;
    D3DPRESENT_PARAMETERS pp = presentation();
    if (FAILED(d3d_->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                    &pp, nullptr, &device_)))
      device_ = nullptr;
  }
  static void TearDownTestSuite() {
    if (device_) device_->Release();
    if (d3d_) d3d_->Release();
    if (window_) DestroyWindow(window_);
  }
  void SetUp() override {
    if (!device_) GTEST_SKIP() << "Direct3DCreate9Ex gives no device here";
  }

  // A 16 x 16 image: opaque green on the left half, transparent on the right.
  static std::string writeImage() {
    const std::string path = "ex-device-image.png";
    IDirect3DTexture9* t = nullptr;
    if (FAILED(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &t, nullptr))) return {};
    D3DLOCKED_RECT lr{};
    t->LockRect(0, &lr, nullptr, 0);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        reinterpret_cast<std::uint32_t*>(static_cast<char*>(lr.pBits) + y * lr.Pitch)[x] = x < 8 ? 0xFF00FF00u : 0u;
    t->UnlockRect(0);
    const bool ok = SUCCEEDED(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_PNG, t, nullptr));
    t->Release();
    return ok ? path : std::string();
  }

  // Draws `t` over the back buffer (cleared blue) at the texel size and
  // returns the back buffer's pixel (x, y).
  static std::uint32_t drawnPixel(IDirect3DTexture9* t, const Vertex2D (&quad)[4], int x, int y) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    device_->BeginScene();
    SetupVertex2DRenderState(device_);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device_->SetTexture(0, t);
    device_->SetFVF(kVertex2DFvf);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex2D));
    device_->SetTexture(0, nullptr);
    device_->EndScene();
    IDirect3DSurface9 *back = nullptr, *copy = nullptr;
    std::uint32_t pixel = 0;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    if (SUCCEEDED(device_->CreateOffscreenPlainSurface(64, 64, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr)) &&
        SUCCEEDED(device_->GetRenderTargetData(back, copy))) {
      D3DLOCKED_RECT lr{};
      copy->LockRect(&lr, nullptr, D3DLOCK_READONLY);
      pixel = reinterpret_cast<const std::uint32_t*>(static_cast<const char*>(lr.pBits) + y * lr.Pitch)[x];
      copy->UnlockRect();
    }
    if (copy) copy->Release();
    if (back) back->Release();
    return pixel;
  }
  static D3DPOOL poolOf(IDirect3DTexture9* t) {
    D3DSURFACE_DESC d{};
    t->GetLevelDesc(0, &d);
    return d.Pool;
  }

  static inline HWND window_ = nullptr;
  static inline IDirect3D9Ex* d3d_ = nullptr;
  static inline IDirect3DDevice9Ex* device_ = nullptr;
};

TEST_F(ExDevice, ImageAndAtlasTexturesComeInTheDefaultPoolAndDraw) {
  EXPECT_TRUE(isExDevice(device_));
  const std::string path = writeImage();
  ASSERT_FALSE(path.empty());
  const std::wstring wide(path.begin(), path.end());

  TexturedRect rect;
  ASSERT_EQ(loadTexturedRect(device_, wide, 0, 0, 0, 0, &rect), D3D_OK);
  EXPECT_EQ(poolOf(rect.texture), D3DPOOL_DEFAULT);
  EXPECT_EQ(drawnPixel(rect.texture, rect.vertices, 3, 8), 0xFF00FF00u) << "the image's own texels";
  EXPECT_EQ(drawnPixel(rect.texture, rect.vertices, 12, 8), 0xFF0000FFu) << "its transparent half";

  AtlasImage image;
  ASSERT_EQ(decodeAtlasImage(wide, image), S_OK);
  const auto layout = packAtlas({{image.visible.right - image.visible.left, image.visible.bottom - image.visible.top}},
                                256, 256, kAtlasPadding);
  ASSERT_TRUE(layout.has_value());
  IDirect3DTexture9* atlas = nullptr;
  ASSERT_EQ(createAtlasTexture(device_, {image}, *layout, &atlas), D3D_OK);
  EXPECT_EQ(poolOf(atlas), D3DPOOL_DEFAULT);
  // The atlas drawn whole: its box holds the image's green texels.
  Vertex2D whole[4];
  D3D9CreateRectangleVertexTex2D(whole, 0, 0, static_cast<float>(layout->width), static_cast<float>(layout->height),
                                 0xFFFFFFFF);
  const auto spot = layout->spots[0];
  EXPECT_EQ(drawnPixel(atlas, whole, spot.x + 1, spot.y + 1), 0xFF00FF00u);
  atlas->Release();

  // Still usable across a Reset: an Ex device keeps default-pool resources.
  D3DPRESENT_PARAMETERS pp = presentation();
  ASSERT_EQ(device_->ResetEx(&pp, nullptr), D3D_OK);
  EXPECT_EQ(drawnPixel(rect.texture, rect.vertices, 3, 8), 0xFF00FF00u) << "after ResetEx";
}

}  // namespace
