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

// Client width of the host window as start-up measured it (0 = not measured).
extern std::int32_t clientWidth;

}  // namespace ostrel
