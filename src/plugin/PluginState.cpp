#include "plugin/PluginState.h"

#include "plugin/FixedText.h"
#include "plugin/SettingsTable.h"
#include "plugin/StoredSettings.h"

namespace ostrel {
namespace {

// Spaces before the label of an entry that belongs to the one above it.
constexpr std::size_t kIndentOfSubEntry = 5;

// Each entry loads from the very file, section and key it is saved under, so
// a saved value shows on the page after a restart.
MenuItem pageEntry(const SettingRow& row) {
  MenuItem item;
  item.label = std::string(row.page.indented ? kIndentOfSubEntry : 0, ' ') + row.page.label();
  item.description = row.page.description();
  item.settingsFile = settingFile(row);
  item.settingsSection = row.section();
  item.settingsKey = row.key();
  const std::int32_t stored = readStoredSetting(row);
  if (row.page.kind == PageEntryKind::kWholeNumber) {
    item.kind = kWholeNumberItem;
    item.value = stored;  // shown as stored, even outside its range
    item.minimum = row.minimum;
    item.maximum = row.maximum;
    item.step = row.step;
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
  for (const SettingRow& row : settingsTable())
    if (row.onPage()) items.push_back(pageEntry(row));

  MenuItem save;
  save.label = std::string(59, ' ') + FT("Save Settings");
  save.kind = kActionItem;
  // The state is never moved or destroyed, so the entry may hold on to it.
  save.action = [this] { savePageSettings(*this); };
  items.push_back(std::move(save));
}

void savePageSettings(PluginState& state) {
  std::size_t entry = 0;
  for (const SettingRow& row : settingsTable()) {
    if (!row.onPage()) continue;
    if (entry >= state.items.size()) break;
    const std::int32_t value = storedValue(state.items[entry++]);
    // A failed write is not reported: the feedback is shown all the same.
    writeStoredSetting(row, value);
    if (row.take) row.take(value);
  }
  state.saveFeedbackTimer = 1.0f;
}

}  // namespace ostrel
