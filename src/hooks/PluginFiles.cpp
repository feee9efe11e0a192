#include "hooks/PluginFiles.h"

#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"
#include "plugin/WideText.h"

namespace fs = std::filesystem;

namespace ostrel::plugin_files {

std::string folderPath(const char* sub) { return pluginFolder() + FT("\\") + sub; }

fs::path pathOf(const std::string& ansi) { return fs::path(widen(ansi)); }
std::string textOf(const fs::path& path) { return narrow(path.wstring()); }

void logFsError(const char* what, const std::string& path, const std::error_code& ec) {
  logText(std::string(what) + path + FT(" (") + ec.message() + FT(")"));
}

bool exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(pathOf(path), ec);
}

}  // namespace ostrel::plugin_files
