#pragma once
// Panel settings files in the test's own .\Plugins\OSTREL folder, written
// through the same profile functions the plug-in reads them with.
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

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
inline std::string readLog() {
  ostrel::openLog();
  std::ifstream in(ostrel::pluginFolder() + "\\OSTREL.log", std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}
inline std::size_t logSize() { return readLog().size(); }
inline std::string logSince(std::size_t from) {
  const std::string all = readLog();
  return from < all.size() ? all.substr(from) : std::string();
}
inline int countOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

}  // namespace panel_tests
