#pragma once
// Device loss and Reset. Before the host's IDirect3DDevice9::Reset (or
// IDirect3DDevice9Ex::ResetEx) can succeed, every default-pool object must be
// gone: the gauge renderers hold the host's render-target textures and a
// state block. They let go of them in two ways, so that either one failing
// still leaves the game working:
//   - the first gauge frame on which the device reports itself lost;
//   - a redirect of the device's Reset, for a Reset without a loss (a change
//     of resolution or window mode). Other tools patch the same code or swap
//     the same method-table entry, before the plug-in, after it, and take
//     their patches off again: each frame the redirect is checked, and put
//     back where the code the device's method table leads to no longer
//     reaches the plug-in.
// The renderers keep their gauge sets; the host makes its textures again
// after the Reset, and the texture creation hook binds them to the renderers.
#include <d3d9.h>

namespace ostrel {

// Redirects Reset (and ResetEx where the device has it) for the code behind
// this device's method table, and remembers the table to check each frame.
// Cheap for a table already known.
void watchDeviceReset(IDirect3DDevice9* device);

// Each frame: for every known method table, redirects Reset again where the
// code its entry leads to does not reach the plug-in any more. An entry and
// chain unchanged since the last frame cost compares (no memory query); makes
// no device call.
void checkResetRedirects();

// Whether the device can be drawn on, from its cooperative level. While it
// is lost nothing may be drawn into the gauge textures; on the first lost
// frame (kLostNow) the caller lets every renderer go of its device objects,
// so the host's Reset succeeds even where the redirect is missing. One log
// line when it goes and one when it is back.
enum class DeviceLoss { kDrawable, kLostNow, kStillLost };
DeviceLoss followDeviceLoss(IDirect3DDevice9* device);

// How many Resets of the game's device the redirects have acted on (each
// once, however many redirects it passed through).
unsigned gameResetsSeen();

}  // namespace ostrel
