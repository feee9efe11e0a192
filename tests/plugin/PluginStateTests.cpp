// The page's entries: what they load from the settings files and what the
// save procedure writes back, on the real profile functions.
#include <gtest/gtest.h>
#include <windows.h>

#include "TestFiles.h"
#include "hooks/HookState.h"
#include "plugin/MenuLogic.h"
#include "plugin/PluginState.h"

using namespace ostrel;

namespace {

class PageState : public ::testing::Test {
 protected:
  void SetUp() override {
    ensurePluginFolder();
    removePageSettingsFiles();
    gaugesEnabled = true;
    refreshRate = 0;
  }
  void TearDown() override { removePageSettingsFiles(); }
  static void store(const char* feature, const char* section, const char* key, const char* value) {
    ASSERT_TRUE(WritePrivateProfileStringA(section, key, value, settingsFilePath(feature).c_str()));
  }
};

using enum SettingId;
bool switchOf(const PluginState& s, SettingId id) { return std::get<bool>(s.items[entryOf(id)].value); }
int numberOf(const PluginState& s, SettingId id) { return std::get<std::int32_t>(s.items[entryOf(id)].value); }
MenuItem& entry(PluginState& s, SettingId id) { return s.items[entryOf(id)]; }

}  // namespace

TEST_F(PageState, WithoutFilesEverySwitchIsOnAndTheRateUnlimited) {
  PluginState state(nullptr);
  ASSERT_EQ(state.items.size(), 9u);
  for (SettingId id : kPageSwitches) {
    EXPECT_EQ(entry(state, id).kind, kSwitchItem) << entryOf(id);
    EXPECT_EQ(switchOf(state, id), id != kTelemetryEnabled) << entryOf(id) << ": telemetry is off until the player switches it on";
  }
  EXPECT_EQ(entry(state, kGaugeRefreshRate).kind, kWholeNumberItem);
  EXPECT_EQ(numberOf(state, kGaugeRefreshRate), 0);
  EXPECT_EQ(std::get<std::int32_t>(entry(state, kGaugeRefreshRate).maximum), 240);
  EXPECT_EQ(std::get<std::int32_t>(entry(state, kGaugeRefreshRate).step), 5);
  const MenuItem& save = state.items.back();
  EXPECT_TRUE(save.kind < 0 || save.kind > 2);
  EXPECT_TRUE(save.action);
  EXPECT_TRUE(save.description.empty());
  EXPECT_TRUE(save.settingsFile.empty());
  EXPECT_EQ(state.selected, 0);
  EXPECT_EQ(state.firstVisible, 0);
  EXPECT_EQ(state.visibleRows, 10);
  EXPECT_LT(state.saveFeedbackTimer, 0.0f) << "nothing was saved yet";
}

TEST_F(PageState, LabelsKeepTheirIndentation) {
  PluginState state(nullptr);
  std::vector<std::string> labels;
  for (const MenuItem& item : state.items) labels.push_back(item.label);
  EXPECT_EQ(labels, (std::vector<std::string>{"Tire HUD", "Car Damage HUD", "     Autohide", "Damaged Part Table",
                                              "Best Run Delta", "Gauges", "     Refresh Rate(Experimental)",
                                              "Telemetry", std::string(59, ' ') + "Save Settings"}));
  EXPECT_EQ(entry(state, kCarDamageAutohide).description, "Only show car damage HUD if any damage has occured recently");
}

TEST_F(PageState, EachEntryLoadsTheKeyTheOtherReadersUse) {
  store("TireHUD", "HUD", "Enabled", "0");
  store("carDamageHUD", "HUD", "Enabled", "2");  // any non-zero is on
  store("carDamageHUD", "HUD", "Autohide", "0");
  store("DamagedPartTableHUD", "HUD", "Enabled", "0");
  store("gauges", "Gauges", "Enabled", "0");
  store("gauges", "Gauges", "RefreshRate", "300");
  store("BestRunHUD", "HUD", "Enabled", "0");
  PluginState state(nullptr);
  EXPECT_FALSE(switchOf(state, kTireHudEnabled));
  EXPECT_TRUE(switchOf(state, kCarDamageHudEnabled));
  EXPECT_FALSE(switchOf(state, kCarDamageAutohide));
  EXPECT_FALSE(switchOf(state, kDamagedPartTableEnabled)) << "the table switch must load the key it is saved under";
  EXPECT_FALSE(switchOf(state, kBestRunHudEnabled));
  EXPECT_FALSE(switchOf(state, kGaugesEnabled));
  EXPECT_EQ(numberOf(state, kGaugeRefreshRate), 300) << "shown as stored";
}

TEST_F(PageState, SaveWritesSwitchesAsOneOrZeroAndAppliesGaugeSettings) {
  store("carDamageHUD", "HUD", "Enabled", "2");
  PluginState state(nullptr);
  entry(state, kGaugeRefreshRate).value = std::int32_t{35};
  entry(state, kCarDamageAutohide).value = false;
  entry(state, kBestRunHudEnabled).value = false;
  gaugesEnabled = false;
  savePageSettings(state);
  EXPECT_EQ(storedInt("TireHUD", "HUD", "Enabled"), 1);
  EXPECT_EQ(storedInt("carDamageHUD", "HUD", "Enabled"), 1);
  EXPECT_EQ(storedInt("carDamageHUD", "HUD", "Autohide"), 0);
  EXPECT_EQ(storedInt("DamagedPartTableHUD", "HUD", "Enabled"), 1);
  EXPECT_EQ(storedInt("BestRunHUD", "HUD", "Enabled"), 0);
  EXPECT_EQ(storedInt("gauges", "Gauges", "Enabled"), 1);
  EXPECT_EQ(storedInt("gauges", "Gauges", "RefreshRate"), 35);
  EXPECT_TRUE(gaugesEnabled);
  EXPECT_EQ(refreshRate, 35);
  EXPECT_FLOAT_EQ(state.saveFeedbackTimer, 1.0f);

  entry(state, kGaugesEnabled).value = false;
  savePageSettings(state);
  EXPECT_FALSE(gaugesEnabled);
  EXPECT_EQ(storedInt("gauges", "Gauges", "Enabled"), 0);
}

TEST_F(PageState, SavedValuesShowAgainAfterARestart) {
  {
    PluginState first(nullptr);
    for (SettingId id : kPageSwitches) entry(first, id).value = entryOf(id) % 2 == 1;
    entry(first, kGaugeRefreshRate).value = std::int32_t{120};
    first.selected = static_cast<std::int32_t>(first.items.size()) - 1;
    first.items.back().action();  // "Save Settings" as the page runs it
    EXPECT_FLOAT_EQ(first.saveFeedbackTimer, 1.0f);
  }
  PluginState second(nullptr);
  for (SettingId id : kPageSwitches) EXPECT_EQ(switchOf(second, id), entryOf(id) % 2 == 1) << entryOf(id);
  EXPECT_EQ(numberOf(second, kGaugeRefreshRate), 120);
}

TEST_F(PageState, UnreadableStoredNumbersGiveTheDefault) {
  store("gauges", "Gauges", "RefreshRate", "fast");
  store("TireHUD", "HUD", "Enabled", "yes");
  const size_t before = logContents().size();
  PluginState state(nullptr);
  EXPECT_EQ(numberOf(state, kGaugeRefreshRate), 0);
  EXPECT_TRUE(switchOf(state, kTireHudEnabled));
  const std::string added = logContents().substr(before);
  EXPECT_NE(added.find("RefreshRate"), std::string::npos) << added;
  EXPECT_NE(added.find("TireHUD.ini"), std::string::npos) << added;
}

TEST_F(PageState, OutOfRangeRateStepsBackIntoRange) {
  store("gauges", "Gauges", "RefreshRate", "300");
  PluginState state(nullptr);
  state.selected = entryOf(kGaugeRefreshRate);
  applyMenuInput(state, {.increase = true});
  EXPECT_EQ(numberOf(state, kGaugeRefreshRate), 300);
  applyMenuInput(state, {.decrease = true});
  EXPECT_EQ(numberOf(state, kGaugeRefreshRate), 295);
}
