#include "KVX/TextureFileLoader.h"

#include <cstdint>
#include <cstdio>

#include "KVX/BaseImageTexture.h"
#include "KVX/ComRelease.h"
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
  if (file.empty()) return E_INVALIDARG;
  return makeBaseImageTexture(device, widenSystemPath(file), D3DFMT_A8R8G8B8, 0, 0, texture);
}

HRESULT decodeGaugeBaseImage(IDirect3DDevice9* device, const std::string& file, const D3DSURFACE_DESC& target,
                             IDirect3DTexture9** texture) {
  if (file.empty()) return E_INVALIDARG;
  return makeBaseImageTexture(device, widenSystemPath(file), target.Format, target.Width, target.Height, texture);
}

D3DSURFACE_DESC levelZeroDescription(IDirect3DTexture9* texture) {
  D3DSURFACE_DESC desc{};
  if (!texture || FAILED(texture->GetLevelDesc(0, &desc))) desc = D3DSURFACE_DESC{};
  return desc;
}

namespace {

// Which loader serves: d3dx9_43.dll is looked for once; without it the
// host's function (known only once the texture hook is in) and the other
// libraries are looked for on each load, which is rare: once per claimed
// texture.
TextureFileLoader currentLoader(void* hostFunction) {
  const char* const* names = d3dxRuntimeNames();
  static const TextureFileLoader runtime = chooseTextureFileLoader(names[0], nullptr, nullptr, 0);
  if (runtime.function) return runtime;
  TextureFileLoader fallback = chooseTextureFileLoader(nullptr, hostFunction, names + 1, kRuntimeCount - 1);
  reportMissingRuntimeOnce(fallback);
  return fallback;
}

// From 2048 x 2048 on, the own decoder's two copies at most matter.
constexpr std::uint64_t kOwnDecoderFirstPixels = 2048ull * 2048ull;

bool matches(const D3DSURFACE_DESC& made, const D3DSURFACE_DESC& target) {
  return made.Format == target.Format && made.Width == target.Width && made.Height == target.Height;
}

}  // namespace

HRESULT loadGaugeBaseImageWith(const TextureFileLoader& loader, IDirect3DDevice9* device, const std::string& file,
                               const D3DSURFACE_DESC& target, IDirect3DTexture9** texture, std::string* origin) {
  if (!device || !texture || file.empty()) return E_INVALIDARG;
  *texture = nullptr;
  if (origin) *origin = loader.origin;
  if (!loader.function) return decodeGaugeBaseImage(device, file, target, texture);
  if (static_cast<std::uint64_t>(target.Width) * target.Height >= kOwnDecoderFirstPixels) {
    const HRESULT own = decodeGaugeBaseImage(device, file, target, texture);
    if (SUCCEEDED(own)) {
      if (origin) *origin = FT("the plug-in's own decoder (a large image)");
      return own;
    }
  }
  // D3DX converts and scales to what it is asked; it may still choose another
  // format (one the device cannot hold in system memory) or size.
  IDirect3DTexture9* made = nullptr;
  const HRESULT hr = loader.function(device, file.c_str(), target.Width ? target.Width : D3DX_DEFAULT,
                                     target.Height ? target.Height : D3DX_DEFAULT, 1, 0, target.Format,
                                     D3DPOOL_SYSTEMMEM, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &made);
  if (SUCCEEDED(hr) && made && matches(levelZeroDescription(made), target)) {
    *texture = made;
    return hr;
  }
  if (SUCCEEDED(hr)) releaseCom(made);
  // What D3DX did not make exactly, the own decoder makes; when it cannot
  // either, D3DX's answer says best what went wrong.
  const HRESULT own = decodeGaugeBaseImage(device, file, target, texture);
  if (SUCCEEDED(own) && origin)
    *origin = std::string(FT("the plug-in's own decoder (")) + loader.origin + FT(" did not make the target's format and size)");
  return SUCCEEDED(own) || SUCCEEDED(hr) ? own : hr;
}

HRESULT loadGaugeBaseImage(IDirect3DDevice9* device, const std::string& file, void* hostFunction,
                           const D3DSURFACE_DESC& target, IDirect3DTexture9** texture, std::string* origin) {
  return loadGaugeBaseImageWith(currentLoader(hostFunction), device, file, target, texture, origin);
}

}  // namespace ostrel
