#include "plugin/PluginPaths.h"

#include <windows.h>

#include "plugin/FixedText.h"

namespace ostrel {

const char* pluginName() { return FT("OSTREL"); }

const char* processPluginName() {
  static const std::string name = pluginName();
  return name.c_str();
}

const std::string& pluginFolder() {
  static const std::string folder = std::string(FT(".\\Plugins\\")) + pluginName();
  return folder;
}

std::string settingsFilePath(const std::string& feature) {
  return pluginFolder() + FT("\\") + feature + FT(".ini");
}

bool ensurePluginFolder() {
  CreateDirectoryA(FT(".\\Plugins"), nullptr);
  if (CreateDirectoryA(pluginFolder().c_str(), nullptr)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace ostrel
