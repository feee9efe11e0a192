#pragma once
// The plug-in's own state behind the Plugin object: the settings page's
// entries with their current values, selection and scroll position, and the
// save-feedback timer. One per process; it is never destroyed.
#include "plugin/MenuItem.h"

struct IHostGame;

namespace ostrel {

// Entry numbers of the settings page.
enum PageEntry : int {
  kTireHudEntry = 0,
  kCarDamageHudEntry,
  kAutohideEntry,
  kDamagedPartTableEntry,
  kGaugesEntry,
  kRefreshRateEntry,
  kSaveSettingsEntry,
  kPageEntryCount,
};

class PluginState : public MenuPageState {
 public:
  // Builds the seven entries and reads entries 0..5 from their settings files.
  explicit PluginState(IHostGame* host);
  PluginState(const PluginState&) = delete;
  PluginState& operator=(const PluginState&) = delete;

  IHostGame* host = nullptr;
  // Below zero: nothing to show. A save sets it to 1.0 and Tick counts it down.
  float saveFeedbackTimer = -1.0f;
};

// Writes entries 0..5 to their settings files, applies the gauge switch and
// refresh rate at once and starts the save feedback.
void savePageSettings(PluginState& state);

}  // namespace ostrel
