#pragma once
// Files of the plug-in as seen from a test's working directory.
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "plugin/Log.h"
#include "plugin/PluginPaths.h"

inline std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void writeWholeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string logPath() { return ostrel::pluginFolder() + "\\OSTREL.log"; }
// The log opens (and empties itself) on first use; open it before measuring.
inline std::string logContents() {
  ostrel::openLog();
  return readWholeFile(logPath());
}

// Removes the page's settings files so each test starts from the defaults.
inline void removePageSettingsFiles() {
  for (const char* name : {"TireHUD", "carDamageHUD", "DamagedPartTableHUD", "gauges"})
    DeleteFileA(ostrel::settingsFilePath(name).c_str());
}

inline int storedInt(const std::string& feature, const char* section, const char* key) {
  return static_cast<int>(
      GetPrivateProfileIntA(section, key, -12345, ostrel::settingsFilePath(feature).c_str()));
}
