#pragma once
// Device loss and Reset. Before the host's IDirect3DDevice9::Reset (or
// IDirect3DDevice9Ex::ResetEx) can succeed, every default-pool resource must
// be gone: the gauge renderers hold the host's render-target textures, so
// they are dropped just before the host's call runs. The host creates its
// textures again after the Reset through its texture function, where the
// texture creation hook builds the renderers anew.
#include <d3d9.h>

namespace ostrel {

// Redirects Reset (and ResetEx where the device has it) for the code behind
// this device's methods; once per distinct method, so calling it for every
// device seen is cheap.
void watchDeviceReset(IDirect3DDevice9* device);

// True when the device can be drawn on. While it is lost nothing may be
// drawn into the gauge textures; one log line when it goes and one when it is
// back. A device that waits for its Reset has its renderers dropped here
// already, so the host's Reset succeeds even where the redirect is missing.
bool gaugeDeviceReady(IDirect3DDevice9* device);

}  // namespace ostrel
