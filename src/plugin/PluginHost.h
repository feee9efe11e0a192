#pragma once
// The host's game-services object of the latest Plugin (null before the
// first): panels draw their text through it. The plug-in's entry sets it.
struct IHostGame;

namespace ostrel {

IHostGame* pluginHost();
void setPluginHost(IHostGame* host);

}  // namespace ostrel
