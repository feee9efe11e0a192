#pragma once
// Replaces the host's texture-from-file function (stdcall, the 14 arguments
// of D3DXCreateTextureFromFileExA). A texture that a gauge definition claims
// is created as a one-level render target and gets a gauge renderer.
#include <d3dx9.h>

#include <string>

namespace ostrel {

HRESULT __stdcall TextureLoadHook(IDirect3DDevice9* device, LPCSTR fileName, UINT width, UINT height,
                                  UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  DWORD filter, DWORD mipFilter, D3DCOLOR colourKey,
                                  D3DXIMAGE_INFO* sourceInfo, PALETTEENTRY* palette,
                                  IDirect3DTexture9** texture);

// The replacement base image a definition names: its folder + "/" + the
// value, or empty when it names none.
std::string replacementTextureFor(const std::string& definitionPath);

// Lower case, backslashes to slashes: how texture paths and map keys compare.
std::string normalisePath(std::string path);

class TextureHandler;

// A gauge renderer drawing on the host's device, or on `fallback` (the device
// the texture was made with) when the host's device was not found. Its own
// image loads never come back into the hook. Throws on out of memory.
TextureHandler* createGaugeRenderer(IDirect3DDevice9* fallback, IDirect3DTexture9* target,
                                    const std::string& definitionPath, const std::string& textureFileName);

// While one lives on a thread, the texture creation hook passes every call on
// that thread straight through: the plug-in's own image loads, and a host
// whose texture function is the same helper-library function the plug-in
// calls, must not find their way back into the hook.
class TextureHookBypass {
 public:
  TextureHookBypass();
  ~TextureHookBypass();
  TextureHookBypass(const TextureHookBypass&) = delete;
  TextureHookBypass& operator=(const TextureHookBypass&) = delete;
  static bool active();
};

}  // namespace ostrel
