#pragma once
// The plug-in's own state behind the Plugin object: the settings page's
// entries with their current values, selection and scroll position, and the
// save-feedback timer. One per process; it is never destroyed.
#include "plugin/MenuItem.h"

struct IHostGame;

namespace ostrel {

class PluginState : public MenuPageState {
 public:
  // One entry per settings table row that the page shows, each read from its
  // settings file, in the table's order; then "Save Settings".
  explicit PluginState(IHostGame* host);
  PluginState(const PluginState&) = delete;
  PluginState& operator=(const PluginState&) = delete;

  IHostGame* host = nullptr;
  // Below zero: nothing to show. A save sets it to 1.0 and Tick counts it down.
  float saveFeedbackTimer = -1.0f;
};

// Writes every entry that shows a setting to its settings file, hands each
// value the running plug-in takes to it at once and starts the save feedback.
void savePageSettings(PluginState& state);

}  // namespace ostrel
