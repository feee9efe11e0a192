#include "PreviewDevice.h"

#include <d3dx9.h>

namespace ostrel::preview {

IDirect3DTexture9* PreviewDevice::createTarget(UINT width, UINT height) {
  IDirect3DTexture9* t = nullptr;
  if (FAILED(device()->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t,
                                    nullptr)))
    return nullptr;
  IDirect3DSurface9* s = nullptr;
  if (SUCCEEDED(t->GetSurfaceLevel(0, &s))) {
    device()->ColorFill(s, nullptr, 0x00000000);
    s->Release();
  }
  return t;
}

bool PreviewDevice::baseImageSize(const std::string& imagePath, UINT& width, UINT& height) {
  // Loaded exactly as the renderer loads its base image.
  IDirect3DTexture9* t = nullptr;
  if (FAILED(D3DXCreateTextureFromFileExA(device(), imagePath.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                          D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                          nullptr, nullptr, &t)))
    return false;
  D3DSURFACE_DESC desc{};
  const bool ok = SUCCEEDED(t->GetLevelDesc(0, &desc));
  t->Release();
  width = desc.Width;
  height = desc.Height;
  return ok;
}

HRESULT PreviewDevice::savePng(IDirect3DTexture9* texture, const std::string& path) {
  IDirect3DSurface9* s = nullptr;
  HRESULT hr = texture->GetSurfaceLevel(0, &s);
  if (FAILED(hr)) return hr;
  hr = D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PNG, s, nullptr, nullptr);
  s->Release();
  return hr;
}

}  // namespace ostrel::preview
