#pragma once
// Files of the plug-in as seen from a test's working directory.
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "PluginLog.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"
#include "plugin/SettingsTable.h"

using testing_support::readWholeFile;

inline void writeWholeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string logPath() { return testing_support::pluginLogPath(); }
// The log opens (and empties itself) on first use; open it before measuring.
inline std::string logContents() { return testing_support::pluginLog(); }

// The page's entry of a setting: its place among the rows with an entry.
// Tests find entries this way, so that a new entry moves none of them.
inline int entryOf(ostrel::SettingId id) {
  int entry = 0;
  for (const ostrel::SettingRow& row : ostrel::settingsTable()) {
    if (row.id == id) return entry;
    entry += row.onPage();
  }
  return -1;
}
// The page's switches, in page order.
inline constexpr ostrel::SettingId kPageSwitches[] = {
    ostrel::SettingId::kTireHudEnabled,     ostrel::SettingId::kCarDamageHudEnabled,
    ostrel::SettingId::kCarDamageAutohide,  ostrel::SettingId::kDamagedPartTableEnabled,
    ostrel::SettingId::kBestRunHudEnabled,  ostrel::SettingId::kGaugesEnabled,
    ostrel::SettingId::kTelemetryEnabled};

// Removes the page's settings files so each test starts from the defaults.
inline void removePageSettingsFiles() {
  for (const char* name : {"TireHUD", "carDamageHUD", "DamagedPartTableHUD", "BestRunHUD", "gauges"})
    DeleteFileA(ostrel::settingsFilePath(name).c_str());
}

inline int storedInt(const std::string& feature, const char* section, const char* key) {
  return static_cast<int>(
      GetPrivateProfileIntA(section, key, -12345, ostrel::settingsFilePath(feature).c_str()));
}
