#pragma once
// A Direct3D 9 device on a hidden window, and a render-target texture that
// stands for the host's texture: what the gauge code draws into in the game.
#include <windows.h>
#include <d3d9.h>

#include <string>

#include "D3DTestDevice.h"

namespace ostrel::preview {

class PreviewDevice {
 public:
  PreviewDevice() = default;
  PreviewDevice(const PreviewDevice&) = delete;
  PreviewDevice& operator=(const PreviewDevice&) = delete;

  bool ok() const { return screen_.ok(); }
  IDirect3DDevice9* device() const { return screen_.device(); }
  // A render-target texture of the given size, cleared to transparent black;
  // the caller owns the reference. Null on failure.
  IDirect3DTexture9* createTarget(UINT width, UINT height);
  // The size the gauge renderer's base image gets from `imagePath` (the
  // loader may round it up); false when it does not load.
  bool baseImageSize(const std::string& imagePath, UINT& width, UINT& height);
  // Writes level 0 of the texture as PNG.
  HRESULT savePng(IDirect3DTexture9* texture, const std::string& path);

 private:
  // The same hidden-window device the tests draw on; the preview draws only
  // into its own render targets, so the back buffer stays small.
  testing_support::D3DTestDevice screen_{64, 64};
};

}  // namespace ostrel::preview
