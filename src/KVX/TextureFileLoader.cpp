#include "KVX/TextureFileLoader.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "KVX/BaseImagePixels.h"
#include "KVX/ComRelease.h"
#include "KVX/ImageDecoder.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel {
namespace {

constexpr int kRuntimeCount = 20;

// d3dx9_43.dll first, then the older D3DX 9 libraries, newest first, that a
// game may have brought along.
const char* const* d3dxRuntimeNames() {
  static char names[kRuntimeCount][16];
  static const char* pointers[kRuntimeCount];
  static bool made = false;
  if (!made) {
    for (int i = 0; i < kRuntimeCount; ++i) {
      std::snprintf(names[i], sizeof names[i], FT("d3dx9_%d.dll"), 43 - i);
      pointers[i] = names[i];
    }
    made = true;
  }
  return pointers;
}

// Host paths are in the system's code page, as the D3DX "A" function takes them.
std::wstring widenSystemPath(const std::string& path) {
  const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (n <= 1) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

void reportMissingRuntimeOnce(const TextureFileLoader& loader) {
  static bool reported = false;
  if (reported) return;
  reported = true;
  logText(std::string(FT("D3DX: d3dx9_43.dll is not installed; gauge base images are loaded by ")) +
          loader.origin + FT(" (panels do not need it)"));
}

}  // namespace

TextureFileLoader chooseTextureFileLoader(const char* runtimeName, void* hostFunction,
                                          const char* const* loadedNames, int loadedCount) {
  TextureFileLoader loader;
  auto fromModule = [&loader](HMODULE module, const char* name) {
    if (!module) return false;
    loader.function = reinterpret_cast<TextureFromFileFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, FT("D3DXCreateTextureFromFileExA"))));
    loader.origin = name;
    return loader.function != nullptr;
  };
  // The runtime stays loaded for the life of the process, as the hooks that
  // may call it do.
  if (runtimeName && fromModule(LoadLibraryA(runtimeName), runtimeName)) return loader;
  if (hostFunction) {
    loader.function = reinterpret_cast<TextureFromFileFunction>(hostFunction);
    loader.origin = FT("the game's texture function");
    return loader;
  }
  for (int i = 0; i < loadedCount; ++i)
    if (fromModule(GetModuleHandleA(loadedNames[i]), loadedNames[i])) return loader;
  loader.function = nullptr;
  loader.origin = FT("the plug-in's own decoder (no D3DX 9 library in the game)");
  return loader;
}

HRESULT decodeGaugeBaseImage(IDirect3DDevice9* device, const std::string& file, IDirect3DTexture9** texture) {
  if (!device || !texture || file.empty()) return E_INVALIDARG;
  *texture = nullptr;
  std::vector<BYTE> pixels;
  UINT w = 0, h = 0;
  HRESULT hr = decodeImageFile(widenSystemPath(file), pixels, w, h);
  if (FAILED(hr)) return hr;
  unpremultiply(pixels);
  const UINT tw = nextPowerOfTwo(w), th = nextPowerOfTwo(h);
  if (tw != w || th != h) pixels = resampleBilinear(pixels, w, h, tw, th);
  IDirect3DTexture9* created = nullptr;
  hr = device->CreateTexture(tw, th, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &created, nullptr);
  if (SUCCEEDED(hr)) {
    D3DLOCKED_RECT locked{};
    hr = created->LockRect(0, &locked, nullptr, 0);
    if (SUCCEEDED(hr)) {
      // Rows go at the texture's pitch, which may be wider than the image.
      for (UINT row = 0; row < th; ++row)
        std::memcpy(static_cast<BYTE*>(locked.pBits) + static_cast<size_t>(row) * locked.Pitch,
                    pixels.data() + static_cast<size_t>(row) * tw * 4, static_cast<size_t>(tw) * 4);
      hr = created->UnlockRect(0);
    }
  }
  if (SUCCEEDED(hr)) {
    *texture = created;
    created = nullptr;
  }
  releaseCom(created);
  return hr;
}

HRESULT loadGaugeBaseImage(IDirect3DDevice9* device, const std::string& file, void* hostFunction,
                           IDirect3DTexture9** texture, std::string* origin) {
  const char* const* names = d3dxRuntimeNames();
  // d3dx9_43.dll is looked for once; without it the host's function (known
  // only once the texture hook is in) and the other libraries are looked for
  // on each load, which is rare: once per claimed texture.
  static const TextureFileLoader runtime = chooseTextureFileLoader(names[0], nullptr, nullptr, 0);
  TextureFileLoader fallback;
  const TextureFileLoader* loader = &runtime;
  if (!runtime.function) {
    fallback = chooseTextureFileLoader(nullptr, hostFunction, names + 1, kRuntimeCount - 1);
    loader = &fallback;
    reportMissingRuntimeOnce(fallback);
  }
  if (origin) *origin = loader->origin;
  if (!loader->function) return decodeGaugeBaseImage(device, file, texture);
  return loader->function(device, file.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8,
                          D3DPOOL_SYSTEMMEM, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}

}  // namespace ostrel
