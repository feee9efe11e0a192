#pragma once
// The plug-in's version: the settings page's title and the crash trace show it.
namespace ostrel {
inline constexpr int kPluginVersion[4] = {0, 2, 6, 4};
}
