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

}  // namespace ostrel
