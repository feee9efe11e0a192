#pragma once
// Panel settings files in the test's own .\Plugins\OSTREL folder, written
// through the same profile functions the plug-in reads them with.
#include <windows.h>

#include <string>

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

}  // namespace panel_tests
