#pragma once
// A real Direct3D 9 device on a hidden window for tests: render into its
// back buffer or a render-target texture and read the pixels back.
#include <windows.h>
#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

class D3DTestDevice {
 public:
  D3DTestDevice(UINT width = 640, UINT height = 480);
  ~D3DTestDevice();
  D3DTestDevice(const D3DTestDevice&) = delete;
  D3DTestDevice& operator=(const D3DTestDevice&) = delete;

  bool ok() const { return device_ != nullptr; }
  IDirect3DDevice9* device() const { return device_; }
  HWND window() const { return window_; }

  // Clears the back buffer to an ARGB colour inside BeginScene/EndScene pairs
  // that the test opens itself with begin()/end().
  void begin(D3DCOLOR clear = 0xFF000000);
  void end();

  // ARGB pixels of a render-target surface (the back buffer when null).
  std::vector<std::uint32_t> readPixels(IDirect3DSurface9* surface = nullptr, UINT* width = nullptr,
                                        UINT* height = nullptr);
  std::uint32_t pixel(int x, int y, IDirect3DSurface9* surface = nullptr);
  // Writes a PNG of the surface (the back buffer when null), for looking at.
  bool savePng(const std::string& path, IDirect3DSurface9* surface = nullptr);

 private:
  HWND window_ = nullptr;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
};

}  // namespace testing_support
