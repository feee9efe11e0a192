#include "PreviewDevice.h"

#include <d3dx9.h>

namespace ostrel::preview {

PreviewDevice::PreviewDevice() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "OstrelGaugePreview";
  RegisterClassA(&wc);
  window_ = CreateWindowA(wc.lpszClassName, "gauge preview", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr,
                          wc.hInstance, nullptr);
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  if (!window_ || !d3d_) return;
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.BackBufferWidth = 64;
  pp.BackBufferHeight = 64;
  pp.hDeviceWindow = window_;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  if (FAILED(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE, &pp, &device_)))
    device_ = nullptr;
}

PreviewDevice::~PreviewDevice() {
  if (device_) device_->Release();
  if (d3d_) d3d_->Release();
  if (window_) DestroyWindow(window_);
}

IDirect3DTexture9* PreviewDevice::createTarget(UINT width, UINT height) {
  IDirect3DTexture9* t = nullptr;
  if (FAILED(device_->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t,
                                    nullptr)))
    return nullptr;
  IDirect3DSurface9* s = nullptr;
  if (SUCCEEDED(t->GetSurfaceLevel(0, &s))) {
    device_->ColorFill(s, nullptr, 0x00000000);
    s->Release();
  }
  return t;
}

bool PreviewDevice::baseImageSize(const std::string& imagePath, UINT& width, UINT& height) {
  // Loaded exactly as the renderer loads its base image.
  IDirect3DTexture9* t = nullptr;
  if (FAILED(D3DXCreateTextureFromFileExA(device_, imagePath.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
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
