#pragma once
// Replaces the host's texture-from-file function (stdcall, the 14 arguments
// of D3DXCreateTextureFromFileExA). A texture that a gauge definition claims
// is created as a one-level render target and gets a gauge renderer.
#include <d3dx9.h>

#include <memory>
#include <string>

namespace ostrel {

HRESULT __stdcall TextureLoadHook(IDirect3DDevice9* device, LPCSTR fileName, UINT width, UINT height,
                                  UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  DWORD filter, DWORD mipFilter, D3DCOLOR colourKey,
                                  D3DXIMAGE_INFO* sourceInfo, PALETTEENTRY* palette,
                                  IDirect3DTexture9** texture);

using TextureFunction = HRESULT(__stdcall*)(IDirect3DDevice9*, LPCSTR, UINT, UINT, UINT, DWORD, D3DFORMAT,
                                            D3DPOOL, DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*,
                                            PALETTEENTRY*, IDirect3DTexture9**);

// A claimed texture, one level, made so that gauges can be drawn on it: in
// the default pool a render target, in the format asked for or else the
// nearest one that can be one; in the managed pool a texture in a format a
// render target can have (the renderer draws on one of its own and writes
// the picture in). On failure `why` says what could not be made and `*made`
// is null; the caller then makes the texture as the host asked.
HRESULT createClaimedTexture(TextureFunction original, IDirect3DDevice9* device, LPCSTR file, UINT width,
                             UINT height, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                             DWORD mipFilter, D3DCOLOR colourKey, D3DXIMAGE_INFO* sourceInfo,
                             PALETTEENTRY* palette, IDirect3DTexture9** made, std::string& why);

// The replacement base image a definition names: its folder + "/" + the
// value, or empty when it names none.
std::string replacementTextureFor(const std::string& definitionPath);

// Lower case, backslashes to slashes: how texture paths and map keys compare.
std::string normalisePath(std::string path);

class TextureHandler;

// A gauge renderer drawing on the host's device, or on `fallback` (the device
// the texture was made with) when the host's device was not found. Its own
// image loads never come back into the hook. Throws on out of memory.
std::unique_ptr<TextureHandler> createGaugeRenderer(IDirect3DDevice9* fallback, IDirect3DTexture9* target,
                                                    const std::string& definitionPath,
                                                    const std::string& textureFileName);

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
