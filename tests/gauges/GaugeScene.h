#pragma once
// A gauge texture on a real device: a 512 x 256 render target standing for the
// host's dashboard texture, a folder of purpose-made definition files and
// images, and the pixels of the target read back after a render.
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "D3DTestDevice.h"
#include "FakeHost.h"
#include "KVX/D3D9Helpers.h"
#include "ManualClock.h"
#include "PluginLog.h"
#include "TextureHandler.h"
#include "hooks/HookState.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"

namespace gauge_tests {

inline constexpr std::uint32_t kBase = 0xFF101010u;     // colour of the plain base image
inline constexpr std::uint32_t kMagenta = 0xFFFF00FFu;  // "not restored" marker

inline testing_support::D3DTestDevice& sharedDevice() {
  static testing_support::D3DTestDevice device(640, 480);
  return device;
}

using testing_support::GaugeHost;
using testing_support::readWholeFile;
inline std::string readFile(const std::string& path) { return readWholeFile(path); }

// Log lines written since `from` (a byte offset of the log file).
inline std::string logSince(std::size_t from) { return testing_support::pluginLogSince(from); }
inline std::size_t logSize() { return testing_support::pluginLog().size(); }
inline int countOf(const std::string& text, const std::string& what) {
  return testing_support::occurrences(text, what);
}

// Writes a PNG through D3DX, pixel by pixel from `colourAt(x, y)` (ARGB).
inline bool writeImage(const std::string& path, UINT w, UINT h,
                       const std::function<std::uint32_t(UINT, UINT)>& colourAt) {
  IDirect3DTexture9* t = nullptr;
  if (FAILED(sharedDevice().device()->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &t,
                                                    nullptr)))
    return false;
  D3DLOCKED_RECT lr{};
  bool ok = SUCCEEDED(t->LockRect(0, &lr, nullptr, 0));
  if (ok) {
    for (UINT y = 0; y < h; ++y)
      for (UINT x = 0; x < w; ++x)
        reinterpret_cast<std::uint32_t*>(static_cast<char*>(lr.pBits) + y * lr.Pitch)[x] = colourAt(x, y);
    t->UnlockRect(0);
    ok = SUCCEEDED(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_PNG, t, nullptr));
  }
  t->Release();
  return ok;
}
inline bool writeSolid(const std::string& path, UINT w, UINT h, std::uint32_t colour) {
  return writeImage(path, w, h, [colour](UINT, UINT) { return colour; });
}

inline ULONG refCount(IUnknown* p) {
  p->AddRef();
  return p->Release();
}

class GaugeScene : public ::testing::Test {
 protected:
  // The renderers' frame clock: a frame's time is what the test gives it.
  test_support::ManualClock clock;
  void SetUp() override {
    ASSERT_TRUE(sharedDevice().ok());
    device = sharedDevice().device();
    ostrel::refreshRate = 0;
    ASSERT_TRUE(SUCCEEDED(device->CreateTexture(512, 256, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                                D3DPOOL_DEFAULT, &target, nullptr)));
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    CreateDirectoryA(".\\sets", nullptr);
    folder = std::string(".\\sets\\") + info->test_suite_name() + "_" + info->name();
    CreateDirectoryA(folder.c_str(), nullptr);
    basePath = folder + "\\base.png";
    ASSERT_TRUE(writeSolid(basePath, 512, 256, kBase));
    fill(kMagenta);
  }
  void TearDown() override {
    if (target) target->Release();
  }

  std::string path(const std::string& name) const { return folder + "\\" + name; }
  void definition(const std::string& text, const std::string& name = "Gauges.ini") {
    std::ofstream(path(name), std::ios::binary | std::ios::trunc) << text;
  }
  std::unique_ptr<ostrel::TextureHandler> make(const std::string& name = "Gauges.ini") {
    return std::make_unique<ostrel::TextureHandler>(device, target, path(name), basePath);
  }

  // Renders one frame as the host would, inside its scene, with `dt` seconds
  // since the previous drawn frame (the renderer's clock moves only here).
  void render(ostrel::TextureHandler& h, double dt = 1.0 / 60.0) {
    clock.advance(dt);
    renderNow(h);
  }
  void renderNow(ostrel::TextureHandler& h) {
    device->BeginScene();
    h.Render();
    device->EndScene();
    pixels = read();
  }
  std::vector<std::uint32_t> read() {
    IDirect3DSurface9* s = nullptr;
    target->GetSurfaceLevel(0, &s);
    auto p = sharedDevice().readPixels(s);
    s->Release();
    return p;
  }
  void fill(std::uint32_t colour) {
    IDirect3DSurface9* s = nullptr;
    target->GetSurfaceLevel(0, &s);
    device->ColorFill(s, nullptr, colour);
    s->Release();
  }
  std::uint32_t at(int x, int y) const { return pixels.at(static_cast<std::size_t>(y) * 512 + x); }
  bool untouched(int x0, int y0, int x1, int y1) const {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (at(x, y) != kBase) return false;
    return true;
  }
  void savePng(const std::string& file) {
    IDirect3DSurface9* s = nullptr;
    target->GetSurfaceLevel(0, &s);
    sharedDevice().savePng(file, s);
    s->Release();
  }

  GaugeHost host;
  IDirect3DDevice9* device = nullptr;
  IDirect3DTexture9* target = nullptr;
  std::string folder, basePath;
  std::vector<std::uint32_t> pixels;
};

}  // namespace gauge_tests
