#pragma once
// The values of settings that the running plug-in reads every frame, as the
// settings table's rows put them there (plugin/SettingsTable.cpp). They hold
// their rows' defaults from load on. Windows-free.
#include <cstdint>

namespace ostrel {

// The Gauges switch, read by the texture creation hook.
extern bool gaugesEnabled;
// Most gauge frames drawn per second (0 = no cap), read by the renderers.
extern std::int32_t refreshRate;

}  // namespace ostrel
