#pragma once
// Gauge base images without a load-time dependency on the D3DX runtime, which
// is not part of Windows: D3DXCreateTextureFromFileExA is bound at run time
// from d3dx9_43.dll when it loads, else from the host's own texture creation
// function (given by the caller: the texture hook's trampoline, so the hook
// does not see the plug-in's own load), else from another D3DX 9 library
// already in the process; failing all, the plug-in decodes the image itself.
// The first time d3dx9_43.dll is missing, one log line says what serves instead.
#include <d3d9.h>
#include <d3dx9.h>  // types only: nothing is imported from it

#include <string>

namespace ostrel {

// The form of D3DXCreateTextureFromFileExA, and of the host's own function.
using TextureFromFileFunction = HRESULT(WINAPI*)(IDirect3DDevice9*, LPCSTR, UINT, UINT, UINT, DWORD, D3DFORMAT,
                                                 D3DPOOL, DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*, PALETTEENTRY*,
                                                 IDirect3DTexture9**);

struct TextureFileLoader {
  TextureFromFileFunction function = nullptr;  // null: the plug-in's own decoder
  std::string origin;                          // for log lines: which library or function
};

// Which loader serves, given what the process has, in this order:
// `runtimeName` (loaded with LoadLibrary; may be null), `hostFunction` (may be
// null), then the libraries of `loadedNames` that are already loaded, else the
// plug-in's own decoder (a null function). Nothing is logged.
TextureFileLoader chooseTextureFileLoader(const char* runtimeName, void* hostFunction,
                                          const char* const* loadedNames, int loadedCount);

// A gauge base image the device can copy into the render target `target`
// describes (UpdateSurface copies only between equal formats and sizes): one
// level in system memory whose level 0 has exactly target.Format,
// target.Width and target.Height, the file converted and scaled to them.
// D3DX makes it where a D3DX 9 library serves; whatever it cannot make
// exactly, the plug-in's own decoder makes. Large images go to the own
// decoder first: D3DX holds about three copies of one while it converts,
// the own decoder two at most (a 4096 x 4096 image is 64 MiB a copy, in a
// 32-bit game). A format neither can write gives
// D3DERR_WRONGTEXTUREFORMAT (the own decoder writes the formats of
// KVX/PixelFormats.h).
HRESULT loadGaugeBaseImage(IDirect3DDevice9* device, const std::string& file, void* hostFunction,
                           const D3DSURFACE_DESC& target, IDirect3DTexture9** texture, std::string* origin = nullptr);

// Level 0's description of a texture (all zero when there is none): what
// the renderer passes as `target` above for its render target.
D3DSURFACE_DESC levelZeroDescription(IDirect3DTexture9* texture);

// The same with a given loader (a null function: the own decoder alone).
HRESULT loadGaugeBaseImageWith(const TextureFileLoader& loader, IDirect3DDevice9* device, const std::string& file,
                               const D3DSURFACE_DESC& target, IDirect3DTexture9** texture, std::string* origin = nullptr);

// The plug-in's own loader alone: the image decoded with straight alpha and
// its sides rounded up to powers of two, as D3DX would, in A8R8G8B8.
HRESULT decodeGaugeBaseImage(IDirect3DDevice9* device, const std::string& file, IDirect3DTexture9** texture);

// The plug-in's own loader at the target's format and size. A target side of
// 0 takes the image's side rounded up to a power of two. Either way a side
// larger than the device's texture limit is scaled down to it (one log line).
// The file is read a band of rows at a time and written straight into the
// locked texture: at most the decoder's copy and the texture are in memory.
HRESULT decodeGaugeBaseImage(IDirect3DDevice9* device, const std::string& file, const D3DSURFACE_DESC& target,
                             IDirect3DTexture9** texture);

}  // namespace ostrel
