#include "plugin/PluginState.h"

#include "hooks/HookState.h"
#include "plugin/FixedText.h"
#include "plugin/PluginPaths.h"
#include "plugin/Settings.h"

namespace ostrel {
namespace {

// Each entry loads from the very file, section and key it is saved under, so
// a saved value shows on the page after a restart.
struct StoredSetting {
  const char* feature;
  const char* section;
  const char* key;
  std::int32_t defaultValue;
};

StoredSetting storedSetting(int entry) {
  switch (entry) {
    case kTireHudEntry: return {FT("TireHUD"), FT("HUD"), FT("Enabled"), 1};
    case kCarDamageHudEntry: return {FT("carDamageHUD"), FT("HUD"), FT("Enabled"), 1};
    case kAutohideEntry: return {FT("carDamageHUD"), FT("HUD"), FT("Autohide"), 1};
    case kDamagedPartTableEntry: return {FT("DamagedPartTableHUD"), FT("HUD"), FT("Enabled"), 1};
    case kGaugesEntry: return {FT("gauges"), FT("Gauges"), FT("Enabled"), 1};
    default: return {FT("gauges"), FT("Gauges"), FT("RefreshRate"), 0};
  }
}

MenuItem storedEntry(int entry, std::string label, std::string description) {
  const StoredSetting s = storedSetting(entry);
  MenuItem item;
  item.label = std::move(label);
  item.description = std::move(description);
  item.settingsFile = settingsFilePath(s.feature);
  item.settingsSection = s.section;
  item.settingsKey = s.key;
  const std::int32_t stored =
      readSettingInt(item.settingsSection, item.settingsKey, s.defaultValue, item.settingsFile);
  if (entry == kRefreshRateEntry) {
    item.kind = kWholeNumberItem;
    item.value = stored;  // shown as stored, even outside 0..240
    item.minimum = std::int32_t{0};
    item.maximum = std::int32_t{240};
    item.step = std::int32_t{5};
  } else {
    item.kind = kSwitchItem;
    item.value = stored != 0;
  }
  return item;
}

std::int32_t storedValue(const MenuItem& item) {
  if (const bool* on = std::get_if<bool>(&item.value)) return *on ? 1 : 0;
  if (const auto* v = std::get_if<std::int32_t>(&item.value)) return *v;
  return 0;
}

}  // namespace

PluginState::PluginState(IHostGame* hostGame) : host(hostGame) {
  const std::string indent(5, ' ');
  items.reserve(kPageEntryCount);
  items.push_back(storedEntry(kTireHudEntry, FT("Tire HUD"),
                              FT("Displays tire wear before the stage starts")));
  items.push_back(storedEntry(kCarDamageHudEntry, FT("Car Damage HUD"), FT("Displays car damage")));
  items.push_back(storedEntry(kAutohideEntry, indent + FT("Autohide"),
                              FT("Only show car damage HUD if any damage has occured recently")));
  items.push_back(storedEntry(kDamagedPartTableEntry, FT("Damaged Part Table"),
                              FT("Displays car damage in a table after the stage is complete")));
  items.push_back(storedEntry(kGaugesEntry, FT("Gauges"), FT("Enable custom dynamic gauges for the cars")));
  items.push_back(storedEntry(
      kRefreshRateEntry, indent + FT("Refresh Rate(Experimental)"),
      FT("Experimental! 0 = Unlimited. Capped values may cause inconsistent frame rates.")));

  MenuItem save;
  save.label = std::string(59, ' ') + FT("Save Settings");
  save.kind = kActionItem;
  // The state is never moved or destroyed, so the entry may hold on to it.
  save.action = [this] { savePageSettings(*this); };
  items.push_back(std::move(save));
}

void savePageSettings(PluginState& state) {
  for (int entry = kTireHudEntry; entry <= kRefreshRateEntry; ++entry) {
    if (entry >= static_cast<int>(state.items.size())) break;
    const MenuItem& item = state.items[static_cast<std::size_t>(entry)];
    const std::int32_t value = storedValue(item);
    // A failed write is not reported: the feedback is shown all the same.
    writeSettingInt(item.settingsSection, item.settingsKey, value, item.settingsFile);
    if (entry == kGaugesEntry) gaugesEnabled = value != 0;
    if (entry == kRefreshRateEntry) refreshRate = value;
  }
  state.saveFeedbackTimer = 1.0f;
}

}  // namespace ostrel
