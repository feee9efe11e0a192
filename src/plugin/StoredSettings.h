#pragma once
// A settings table row's value in its settings file, and the running
// plug-in's copy of it.
#include <cstdint>
#include <string>

#include "plugin/SettingsTable.h"

namespace ostrel {

std::string settingFile(const SettingRow& row);
// The stored number, or the row's default (with a log line for a text that
// is not a number).
std::int32_t readStoredSetting(const SettingRow& row);
// A text row's stored text, or its default when missing or empty.
std::string readStoredText(const SettingRow& row);
bool writeStoredSetting(const SettingRow& row, std::int32_t value);
// Reads every row taken `when` and puts each value where the plug-in reads it.
void takeStoredSettings(SettingTaken when);

}  // namespace ostrel
