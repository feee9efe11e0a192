// The settings table against the shipped default files, and its rows taken
// into the running plug-in, on the real profile functions.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "TestFiles.h"
#include "TestPaths.h"
#include "hooks/HookState.h"
#include "plugin/Settings.h"
#include "plugin/SettingsTable.h"
#include "plugin/StoredSettings.h"
#include "telemetry/TelemetrySettings.h"

using namespace ostrel;

namespace {

std::string defaultFile(const std::string& feature) {
  return testing_support::sourceDir() + "\\assets\\plugin\\" + feature + ".ini.default";
}

// The line above "key=" in its section of the file's text, or "" when the
// key is not there once.
std::string lineAboveOnlyKey(const std::string& text, const std::string& section, const std::string& key) {
  std::string current, previous, above;
  int found = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    at = end + 1;
    if (line.size() > 1 && line.front() == '[' && line.back() == ']') current = line.substr(1, line.size() - 2);
    else if (current == section && line.rfind(key + "=", 0) == 0 && ++found == 1) above = previous;
    previous = line;
  }
  return found == 1 ? above : std::string();
}

}  // namespace

TEST(SettingsTable, EveryRowIsInItsDefaultFileWithTheShippedValueAndAComment) {
  for (const SettingRow& row : settingsTable()) {
    const std::string file = defaultFile(row.feature());
    SCOPED_TRACE(file + " [" + row.section() + "] " + row.key());
    EXPECT_EQ(readSettingText(row.section(), row.key(), "(missing)", file),
              row.isText() ? std::string(row.textDefault()) : std::to_string(row.shippedValue()));
    const std::string above = lineAboveOnlyKey(readWholeFile(file), row.section(), row.key());
    EXPECT_EQ(above.substr(0, 1), ";") << "the key stands once in its section, below the comment that explains it";
  }
}

TEST(SettingsTable, FilesNoPanelReadsHoldOnlyKeysOfRows) {
  std::set<std::string> tableFiles;
  std::set<std::tuple<std::string, std::string, std::string>> rows;
  for (const SettingRow& row : settingsTable()) {
    EXPECT_TRUE(rows.emplace(row.feature(), row.section(), row.key()).second)
        << "two rows for " << row.feature() << " [" << row.section() << "] " << row.key();
    if (row.taken != SettingTaken::kByItsPanel) tableFiles.insert(row.feature());
  }
  ASSERT_FALSE(tableFiles.empty());
  for (const std::string& feature : tableFiles) {
    const std::string file = defaultFile(feature);
    const std::vector<std::string> sections = listSettingSections(file);
    EXPECT_FALSE(sections.empty()) << file;
    for (const std::string& section : sections)
      for (const std::string& key : listSettingKeys(section, file))
        EXPECT_TRUE(rows.count({feature, section, key})) << file << " [" << section << "] " << key << " has no row";
  }
}

// What the frame driver does on entering the menu and start-up does once:
// each row's stored value, or its default, reaches the running plug-in.
TEST(SettingsTable, StoredValuesAndDefaultsReachTheRunningPlugin) {
  ensurePluginFolder();
  removePageSettingsFiles();
  DeleteFileA(settingsFilePath("OSTREL").c_str());
  struct Case {
    SettingId id;
    const char* stored;  // null: no file
    std::function<std::int32_t()> running;
    std::int32_t expected;
  };
  const auto gauges = [] { return std::int32_t{gaugesEnabled}; };
  const auto rate = [] { return refreshRate; };
  const auto reloadKey = [] { return hookState().gaugeReloadKeyEnabled; };
  const auto telemetryOn = [] { return std::int32_t{telemetry::storedTelemetry().enabled}; };
  const auto telemetryRate = [] { return telemetry::storedTelemetry().rate; };
  const auto reverse = [] { return telemetry::storedTelemetry().reverseCode; };
  const Case cases[] = {
      {SettingId::kGaugesEnabled, nullptr, gauges, 1},     {SettingId::kGaugesEnabled, "0", gauges, 0},
      {SettingId::kGaugesEnabled, "7", gauges, 1},         {SettingId::kGaugeRefreshRate, nullptr, rate, 0},
      {SettingId::kGaugeRefreshRate, "45", rate, 45},      {SettingId::kGaugeRefreshRate, "fast", rate, 0},
      {SettingId::kGaugeReloadKey, nullptr, reloadKey, 0}, {SettingId::kGaugeReloadKey, "1", reloadKey, 1},
      {SettingId::kTelemetryEnabled, nullptr, telemetryOn, 0}, {SettingId::kTelemetryEnabled, "1", telemetryOn, 1},
      {SettingId::kTelemetryRate, nullptr, telemetryRate, 60},  {SettingId::kTelemetryRate, "20", telemetryRate, 20},
      {SettingId::kTelemetryReverseCode, nullptr, reverse, -1}, {SettingId::kTelemetryReverseCode, "10", reverse, 10},
  };
  for (const Case& c : cases) {
    const SettingRow& row = settingRow(c.id);
    SCOPED_TRACE(std::string(row.key()) + "=" + (c.stored ? c.stored : "(no file)"));
    DeleteFileA(settingFile(row).c_str());
    if (c.stored) {
      ASSERT_TRUE(writeSettingText(row.section(), row.key(), c.stored, settingFile(row)));
    }
    gaugesEnabled = c.expected == 0;  // the opposite of what the read must give
    refreshRate = c.expected + 1;
    hookState().gaugeReloadKeyEnabled = c.expected + 1;
    takeStoredSettings(row.taken);
    EXPECT_EQ(c.running(), c.expected);
  }
  // Text rows: the stored text, or the row's default.
  const SettingRow& targets = settingRow(SettingId::kTelemetryTargets);
  DeleteFileA(settingFile(targets).c_str());
  takeStoredSettings(SettingTaken::kAtStartup);
  EXPECT_EQ(telemetry::storedTelemetry().targets, "A@127.0.0.1:20777");
  ASSERT_TRUE(writeSettingText(targets.section(), targets.key(), "B@10.0.0.9:4444", settingFile(targets)));
  takeStoredSettings(SettingTaken::kOnEnteringMenu);
  EXPECT_EQ(telemetry::storedTelemetry().targets, "B@10.0.0.9:4444");
  EXPECT_EQ(telemetry::storedTelemetry().gearMap, "N,1,2,3,4,5,6,R");
  removePageSettingsFiles();
  DeleteFileA(settingsFilePath("OSTREL").c_str());
  gaugesEnabled = true;
  refreshRate = 0;
  hookState().gaugeReloadKeyEnabled = 0;
}
