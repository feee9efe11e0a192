#pragma once
// Where the plug-in keeps its files: ".\Plugins\OSTREL", relative to the
// host's working directory.
#include <string>

namespace ostrel {

const char* pluginName();                 // "OSTREL", valid on the calling thread
// The same text in process-wide storage: what the host receives from
// QueryName stays valid for the whole process, whichever thread asked.
const char* processPluginName();
const std::string& pluginFolder();        // ".\Plugins\OSTREL"
// pluginFolder + "\" + feature + ".ini": the settings file of one feature or panel.
std::string settingsFilePath(const std::string& feature);
// Makes the plug-in folder (and .\Plugins) when missing; true when it exists afterwards.
bool ensurePluginFolder();

}  // namespace ostrel
