#pragma once
// The plug-in's log as a test in the plug-in's own process reads it: the log
// opens (and empties itself) on first use, so it is opened before reading.
#include <cstddef>
#include <string>

#include "TextFiles.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"

namespace testing_support {

inline std::string pluginLogPath() { return ostrel::pluginFolder() + "\\OSTREL.log"; }
inline std::string pluginLog() {
  ostrel::openLog();
  return readWholeFile(pluginLogPath());
}
// What was written since the log held `from` bytes.
inline std::string pluginLogSince(std::size_t from) {
  const std::string all = pluginLog();
  return from < all.size() ? all.substr(from) : std::string();
}

}  // namespace testing_support
