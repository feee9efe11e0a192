#pragma once
// Panel settings files in the test's own .\Plugins\OSTREL folder, written
// through the same profile functions the plug-in reads them with.
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "PluginLog.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"

namespace panel_tests {

inline void setPanelKey(const std::string& panel, const char* key, const std::string& value) {
  CreateDirectoryA(".\\Plugins", nullptr);
  ostrel::ensurePluginFolder();
  WritePrivateProfileStringA("HUD", key, value.c_str(), ostrel::settingsFilePath(panel).c_str());
}

inline void clearPanelFile(const std::string& panel) {
  ostrel::ensurePluginFolder();
  WritePrivateProfileStringA("HUD", nullptr, nullptr, ostrel::settingsFilePath(panel).c_str());
}

// The plug-in's log: its size now, and what was written since.
inline std::string readLog() { return testing_support::pluginLog(); }
inline std::size_t logSize() { return readLog().size(); }
inline std::string logSince(std::size_t from) { return testing_support::pluginLogSince(from); }
inline int countOf(const std::string& text, const std::string& what) {
  return testing_support::occurrences(text, what);
}

}  // namespace panel_tests
