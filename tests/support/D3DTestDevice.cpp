#include "D3DTestDevice.h"

#include <d3dx9.h>

namespace testing_support {

D3DTestDevice::D3DTestDevice(UINT width, UINT height) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "OstrelTestWindow";
  RegisterClassA(&wc);
  window_ = CreateWindowA("OstrelTestWindow", "test", WS_OVERLAPPEDWINDOW, 0, 0, width, height,
                          nullptr, nullptr, wc.hInstance, nullptr);
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  if (!d3d_ || !window_) return;
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.hDeviceWindow = window_;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  if (FAILED(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE, &pp,
                                &device_)))
    device_ = nullptr;
}

D3DTestDevice::~D3DTestDevice() {
  if (device_) device_->Release();
  if (d3d_) d3d_->Release();
  if (window_) DestroyWindow(window_);
}

void D3DTestDevice::begin(D3DCOLOR clear) {
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, clear, 1.0f, 0);
  device_->BeginScene();
}

void D3DTestDevice::end() { device_->EndScene(); }

std::vector<std::uint32_t> D3DTestDevice::readPixels(IDirect3DSurface9* surface, UINT* width,
                                                     UINT* height) {
  std::vector<std::uint32_t> out;
  IDirect3DSurface9* source = surface;
  if (!source && FAILED(device_->GetRenderTarget(0, &source))) return out;
  if (surface) source->AddRef();
  D3DSURFACE_DESC desc{};
  source->GetDesc(&desc);
  IDirect3DSurface9* copy = nullptr;
  if (SUCCEEDED(device_->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                     D3DPOOL_SYSTEMMEM, &copy, nullptr)) &&
      SUCCEEDED(device_->GetRenderTargetData(source, copy))) {
    D3DLOCKED_RECT lr{};
    if (SUCCEEDED(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
      out.resize(static_cast<size_t>(desc.Width) * desc.Height);
      for (UINT y = 0; y < desc.Height; ++y)
        memcpy(&out[static_cast<size_t>(y) * desc.Width],
               static_cast<const char*>(lr.pBits) + static_cast<size_t>(y) * lr.Pitch, desc.Width * 4);
      copy->UnlockRect();
    }
  }
  if (copy) copy->Release();
  source->Release();
  if (width) *width = desc.Width;
  if (height) *height = desc.Height;
  return out;
}

std::uint32_t D3DTestDevice::pixel(int x, int y, IDirect3DSurface9* surface) {
  UINT w = 0, h = 0;
  const auto pixels = readPixels(surface, &w, &h);
  if (x < 0 || y < 0 || static_cast<UINT>(x) >= w || static_cast<UINT>(y) >= h) return 0;
  return pixels[static_cast<size_t>(y) * w + x];
}

bool D3DTestDevice::savePng(const std::string& path, IDirect3DSurface9* surface) {
  IDirect3DSurface9* source = surface;
  if (!source && FAILED(device_->GetRenderTarget(0, &source))) return false;
  const bool ok = SUCCEEDED(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PNG, source, nullptr, nullptr));
  if (!surface) source->Release();
  return ok;
}

}  // namespace testing_support
