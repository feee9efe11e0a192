#pragma once
// The two per-frame hooks. FrameHook replaces the host's per-frame function
// (a member function: object in ECX, no stack arguments); GaugeRenderHook
// replaces the host function after which gauges are drawn. Both pass the
// host function's result back unchanged and always run it.
#include <cstdint>

#include "hooks/GaugeRendererList.h"

namespace ostrel {

std::uint32_t __attribute__((thiscall)) FrameHook(void* self);
std::uint32_t __attribute__((thiscall)) GaugeRenderHook(void* self);

// Follows the game's device: a game may release its device and make a new
// one (on a change of resolution or adapter), so its pointer is read again;
// renderers of the old device are dropped and the panels' images loaded on
// the new one. While renderers exist, the Reset redirects are checked too.
// Every frame, and before a claimed texture is made; under the renderer lock.
void followGameDevice();

}  // namespace ostrel
