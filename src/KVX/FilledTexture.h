#pragma once
// Textures the plug-in fills once from decoded pixels and then draws with:
// in the managed pool on an ordinary device; on an IDirect3DDevice9Ex,
// which refuses the managed pool, in the default pool, filled through a
// system-memory texture and UpdateTexture (an Ex device keeps default-pool
// resources across Reset, so nothing has to be made again). A device that
// refuses the managed pool without answering for Ex (behind a tool's proxy
// that hides it) gets the default-pool texture too.
#include <d3d9.h>

#include <cstdint>
#include <functional>

namespace ostrel {

// True when the device answers for IDirect3DDevice9Ex.
bool isExDevice(IDirect3DDevice9* device);

// A one-level A8R8G8B8 texture of w x h whose level 0 `fill` writes, given
// the locked bits and their pitch in bytes.
HRESULT createFilledTexture(IDirect3DDevice9* device, UINT w, UINT h,
                            const std::function<void(std::uint8_t* bits, INT pitch)>& fill,
                            IDirect3DTexture9** texture);

}  // namespace ostrel
