#pragma once
// Settings files: Windows profile files (sections of key=value lines) in the
// plug-in folder, read and written with the system's profile functions.
// No operation fails on a missing file, section or key: the default is used.
#include <cstdint>
#include <string>
#include <vector>

namespace ostrel {

// The stored text (at most 255 characters); the default when missing or empty.
std::string readSettingText(const std::string& section, const std::string& key,
                            const std::string& defaultText, const std::string& file);
std::string readSettingTextLower(const std::string& section, const std::string& key,
                                 const std::string& defaultText, const std::string& file);
// Number readers follow the standard text-to-number rules (leading blanks
// skipped, trailing text ignored). A text that is not a number, or is out of
// range, gives the default and one log line naming file, section and key.
std::int32_t readSettingInt(const std::string& section, const std::string& key,
                            std::int32_t defaultValue, const std::string& file);
float readSettingFloat(const std::string& section, const std::string& key, float defaultValue,
                       const std::string& file);
std::uint32_t readSettingHex(const std::string& section, const std::string& key,
                             std::uint32_t defaultValue, const std::string& file);

bool writeSettingInt(const std::string& section, const std::string& key, std::int32_t value,
                     const std::string& file);
bool writeSettingText(const std::string& section, const std::string& key, const std::string& value,
                      const std::string& file);

std::vector<std::string> listSettingSections(const std::string& file);
std::vector<std::string> listSettingKeys(const std::string& section, const std::string& file);

// Values of `from` replace those of `to`; keys and sections only in `to` stay.
void mergeSettingsFile(const std::string& from, const std::string& to);

}  // namespace ostrel
