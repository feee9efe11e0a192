#pragma once
// Files of the plug-in as seen from a test's working directory.
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "PluginLog.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"

using testing_support::readWholeFile;

inline void writeWholeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string logPath() { return testing_support::pluginLogPath(); }
// The log opens (and empties itself) on first use; open it before measuring.
inline std::string logContents() { return testing_support::pluginLog(); }

// Removes the page's settings files so each test starts from the defaults.
inline void removePageSettingsFiles() {
  for (const char* name : {"TireHUD", "carDamageHUD", "DamagedPartTableHUD", "gauges"})
    DeleteFileA(ostrel::settingsFilePath(name).c_str());
}

inline int storedInt(const std::string& feature, const char* section, const char* key) {
  return static_cast<int>(
      GetPrivateProfileIntA(section, key, -12345, ostrel::settingsFilePath(feature).c_str()));
}
