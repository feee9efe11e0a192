#pragma once
// The plug-in's own making of a gauge base image: an image file read a band
// of rows at a time, scaled and converted as it goes straight into a locked
// system-memory texture of the render target's format and size.
#include <d3d9.h>

#include <string>

namespace ostrel {

// `width`/`height` 0: the image's side rounded up to a power of two. Sides
// over the device's texture limit are brought down to it (one log line).
// D3DERR_WRONGTEXTUREFORMAT for a format the pixel converter cannot write.
HRESULT makeBaseImageTexture(IDirect3DDevice9* device, const std::wstring& path, D3DFORMAT format, UINT width,
                             UINT height, IDirect3DTexture9** texture);

}  // namespace ostrel
