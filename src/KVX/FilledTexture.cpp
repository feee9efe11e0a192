#include "KVX/FilledTexture.h"

#include "KVX/ComRelease.h"

namespace ostrel {
namespace {

// IDirect3DDevice9Ex, spelled out so the interface headers' Ex part is not needed.
const IID kDevice9ExInterface = {0xb18b10ce, 0x2649, 0x405a, {0x87, 0x0f, 0x95, 0xf7, 0x77, 0xd4, 0x31, 0x3a}};

HRESULT createAndFill(IDirect3DDevice9* device, UINT w, UINT h, D3DPOOL pool,
                      const std::function<void(std::uint8_t*, INT)>& fill, IDirect3DTexture9** texture) {
  IDirect3DTexture9* created = nullptr;
  HRESULT hr = device->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, pool, &created, nullptr);
  if (FAILED(hr)) return hr;
  D3DLOCKED_RECT locked{};
  hr = created->LockRect(0, &locked, nullptr, 0);
  if (SUCCEEDED(hr)) {
    try {
      fill(static_cast<std::uint8_t*>(locked.pBits), locked.Pitch);
    } catch (...) {
      hr = E_OUTOFMEMORY;
    }
    const HRESULT unlocked = created->UnlockRect(0);
    if (SUCCEEDED(hr)) hr = unlocked;
  }
  if (SUCCEEDED(hr)) {
    *texture = created;
    created = nullptr;
  }
  releaseCom(created);
  return hr;
}

}  // namespace

bool isExDevice(IDirect3DDevice9* device) {
  IUnknown* ex = nullptr;
  if (!device || FAILED(device->QueryInterface(kDevice9ExInterface, reinterpret_cast<void**>(&ex))) || !ex)
    return false;
  ex->Release();
  return true;
}

HRESULT createFilledTexture(IDirect3DDevice9* device, UINT w, UINT h,
                            const std::function<void(std::uint8_t*, INT)>& fill, IDirect3DTexture9** texture) {
  if (!device || !texture) return E_INVALIDARG;
  *texture = nullptr;
  if (!isExDevice(device)) {
    const HRESULT managed = createAndFill(device, w, h, D3DPOOL_MANAGED, fill, texture);
    // A tool's proxy that hides the extended interface of the device behind
    // it: that device refuses the managed pool, and takes the default one.
    if (managed != D3DERR_INVALIDCALL) return managed;
  }
  IDirect3DTexture9* staging = nullptr;
  IDirect3DTexture9* drawn = nullptr;
  HRESULT hr = createAndFill(device, w, h, D3DPOOL_SYSTEMMEM, fill, &staging);
  if (SUCCEEDED(hr)) hr = device->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &drawn, nullptr);
  if (FAILED(hr)) drawn = nullptr;
  if (SUCCEEDED(hr)) hr = device->UpdateTexture(staging, drawn);
  if (SUCCEEDED(hr)) {
    *texture = drawn;
    drawn = nullptr;
  }
  releaseCom(drawn);
  releaseCom(staging);
  return hr;
}

}  // namespace ostrel
