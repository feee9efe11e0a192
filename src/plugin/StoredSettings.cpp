#include "plugin/StoredSettings.h"

#include "plugin/PluginPaths.h"
#include "plugin/Settings.h"

namespace ostrel {

std::string settingFile(const SettingRow& row) { return settingsFilePath(row.feature()); }

std::int32_t readStoredSetting(const SettingRow& row) {
  return readSettingInt(row.section(), row.key(), row.defaultValue, settingFile(row));
}

std::string readStoredText(const SettingRow& row) {
  return readSettingText(row.section(), row.key(), row.textDefault ? row.textDefault() : "", settingFile(row));
}

bool writeStoredSetting(const SettingRow& row, std::int32_t value) {
  return writeSettingInt(row.section(), row.key(), value, settingFile(row));
}

void takeStoredSettings(SettingTaken when) {
  for (const SettingRow& row : settingsTable()) {
    if (!takenWhen(row.taken, when)) continue;
    if (row.takeText)
      row.takeText(readStoredText(row));
    else if (row.take)
      row.take(readStoredSetting(row));
  }
}

}  // namespace ostrel
