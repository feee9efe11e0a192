#pragma once
// A Direct3D 9 device on a hidden window, and a render-target texture that
// stands for the host's texture: what the gauge code draws into in the game.
#include <windows.h>
#include <d3d9.h>

#include <string>

namespace ostrel::preview {

class PreviewDevice {
 public:
  PreviewDevice();
  ~PreviewDevice();
  PreviewDevice(const PreviewDevice&) = delete;
  PreviewDevice& operator=(const PreviewDevice&) = delete;

  bool ok() const { return device_ != nullptr; }
  IDirect3DDevice9* device() const { return device_; }
  // A render-target texture of the given size, cleared to transparent black;
  // the caller owns the reference. Null on failure.
  IDirect3DTexture9* createTarget(UINT width, UINT height);
  // The size the gauge renderer's base image gets from `imagePath` (the
  // loader may round it up); false when it does not load.
  bool baseImageSize(const std::string& imagePath, UINT& width, UINT& height);
  // Writes level 0 of the texture as PNG.
  HRESULT savePng(IDirect3DTexture9* texture, const std::string& path);

 private:
  HWND window_ = nullptr;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
};

}  // namespace ostrel::preview
