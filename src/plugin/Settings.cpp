#include "plugin/Settings.h"

#include <windows.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/NumberText.h"

namespace ostrel {
namespace {

constexpr DWORD kTextBuffer = 256;
constexpr DWORD kListBuffer = 2048;

void logBadNumber(const std::string& file, const std::string& section, const std::string& key,
                  const std::string& text, const std::string& usedDefault) {
  logText(std::string(FT("Settings: value \"")) + text + FT("\" of key ") + key + FT(" in section [") +
          section + FT("] of ") + file + FT(" is not a valid number; using ") + usedDefault);
}

// Splits a double-zero-terminated list as the profile functions return it.
std::vector<std::string> splitList(const char* buffer, DWORD length) {
  std::vector<std::string> out;
  const char* p = buffer;
  const char* end = buffer + length;
  while (p < end && *p) {
    std::string item(p);
    p += item.size() + 1;
    out.push_back(std::move(item));
  }
  return out;
}

}  // namespace

std::string readSettingText(const std::string& section, const std::string& key,
                            const std::string& defaultText, const std::string& file) {
  char buffer[kTextBuffer];
  const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, kTextBuffer,
                                           file.c_str());
  if (n == 0) return defaultText;
  return std::string(buffer, n);
}

std::string readSettingTextLower(const std::string& section, const std::string& key,
                                 const std::string& defaultText, const std::string& file) {
  std::string text = readSettingText(section, key, defaultText, file);
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::int32_t readSettingInt(const std::string& section, const std::string& key,
                            std::int32_t defaultValue, const std::string& file) {
  const std::string text = readSettingText(section, key, "", file);
  if (text.empty()) return defaultValue;
  std::int32_t value = 0;
  if (!parseInt32(text.c_str(), value)) {
    logBadNumber(file, section, key, text, std::to_string(defaultValue));
    return defaultValue;
  }
  return value;
}

float readSettingFloat(const std::string& section, const std::string& key, float defaultValue,
                       const std::string& file) {
  const std::string text = readSettingText(section, key, "", file);
  if (text.empty()) return defaultValue;
  float value = 0.0f;
  if (!parseFloat(text.c_str(), value)) {
    logBadNumber(file, section, key, text, std::to_string(defaultValue));
    return defaultValue;
  }
  return value;
}

std::uint32_t readSettingHex(const std::string& section, const std::string& key,
                             std::uint32_t defaultValue, const std::string& file) {
  const std::string text = readSettingText(section, key, "", file);
  if (text.empty()) return defaultValue;
  std::uint32_t value = 0;
  if (!parseHex32(text.c_str(), value)) {
    logBadNumber(file, section, key, text, std::to_string(defaultValue));
    return defaultValue;
  }
  return value;
}

bool writeSettingInt(const std::string& section, const std::string& key, std::int32_t value,
                     const std::string& file) {
  return writeSettingText(section, key, std::to_string(value), file);
}

bool writeSettingText(const std::string& section, const std::string& key, const std::string& value,
                      const std::string& file) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
}

std::vector<std::string> listSettingSections(const std::string& file) {
  char buffer[kListBuffer] = {};
  const DWORD n = GetPrivateProfileSectionNamesA(buffer, kListBuffer, file.c_str());
  return splitList(buffer, n);
}

std::vector<std::string> listSettingKeys(const std::string& section, const std::string& file) {
  char buffer[kListBuffer] = {};
  const DWORD n = GetPrivateProfileSectionA(section.c_str(), buffer, kListBuffer, file.c_str());
  std::vector<std::string> keys;
  for (const std::string& line : splitList(buffer, n)) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) keys.push_back(line.substr(0, eq));
  }
  return keys;
}

void mergeSettingsFile(const std::string& from, const std::string& to) {
  for (const std::string& section : listSettingSections(from))
    for (const std::string& key : listSettingKeys(section, from))
      writeSettingText(section, key, readSettingText(section, key, "", from), to);
}

}  // namespace ostrel
