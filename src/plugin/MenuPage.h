#pragma once
// The settings page as the host shows it: drawing through the host's text and
// box operations, and the save feedback drawn by the tick.
struct IHostGame;

namespace ostrel {

class PluginState;

void drawMenuPage(IHostGame& host, const PluginState& state);
// Counts the save feedback down and shows it while it has not run out.
void tickSaveFeedback(IHostGame* host, PluginState& state, float elapsed);

}  // namespace ostrel
