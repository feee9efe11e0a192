#include "plugin/StoredSettings.h"

#include "plugin/PluginPaths.h"
#include "plugin/Settings.h"

namespace ostrel {

std::string settingFile(const SettingRow& row) { return settingsFilePath(row.feature()); }

std::int32_t readStoredSetting(const SettingRow& row) {
  return readSettingInt(row.section(), row.key(), row.defaultValue, settingFile(row));
}

bool writeStoredSetting(const SettingRow& row, std::int32_t value) {
  return writeSettingInt(row.section(), row.key(), value, settingFile(row));
}

void takeStoredSettings(SettingTaken when) {
  for (const SettingRow& row : settingsTable())
    if (row.taken == when && row.take) row.take(readStoredSetting(row));
}

}  // namespace ostrel
