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

bool switchOf(const PluginState& s, int entry) { return std::get<bool>(s.items[entry].value); }
int numberOf(const PluginState& s, int entry) { return std::get<std::int32_t>(s.items[entry].value); }

}  // namespace

TEST_F(PageState, WithoutFilesEverySwitchIsOnAndTheRateUnlimited) {
  PluginState state(nullptr);
  ASSERT_EQ(state.items.size(), 8u);
  for (int e = 0; e <= 4; ++e) {
    EXPECT_EQ(state.items[e].kind, kSwitchItem) << e;
    EXPECT_TRUE(switchOf(state, e)) << e;
  }
  EXPECT_EQ(state.items[5].kind, kWholeNumberItem);
  EXPECT_EQ(numberOf(state, 5), 0);
  EXPECT_EQ(std::get<std::int32_t>(state.items[5].maximum), 240);
  EXPECT_EQ(std::get<std::int32_t>(state.items[5].step), 5);
  EXPECT_EQ(state.items[6].kind, kSwitchItem);
  EXPECT_FALSE(switchOf(state, 6)) << "telemetry is off until the player switches it on";
  const MenuItem& save = state.items[7];
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
  EXPECT_EQ(state.items[0].label, "Tire HUD");
  EXPECT_EQ(state.items[1].label, "Car Damage HUD");
  EXPECT_EQ(state.items[2].label, "     Autohide");
  EXPECT_EQ(state.items[3].label, "Damaged Part Table");
  EXPECT_EQ(state.items[4].label, "Gauges");
  EXPECT_EQ(state.items[5].label, "     Refresh Rate(Experimental)");
  EXPECT_EQ(state.items[6].label, "Telemetry");
  EXPECT_EQ(state.items[7].label, std::string(59, ' ') + "Save Settings");
  EXPECT_EQ(state.items[2].description, "Only show car damage HUD if any damage has occured recently");
}

TEST_F(PageState, EachEntryLoadsTheKeyTheOtherReadersUse) {
  store("TireHUD", "HUD", "Enabled", "0");
  store("carDamageHUD", "HUD", "Enabled", "2");  // any non-zero is on
  store("carDamageHUD", "HUD", "Autohide", "0");
  store("DamagedPartTableHUD", "HUD", "Enabled", "0");
  store("gauges", "Gauges", "Enabled", "0");
  store("gauges", "Gauges", "RefreshRate", "300");
  PluginState state(nullptr);
  EXPECT_FALSE(switchOf(state, 0));
  EXPECT_TRUE(switchOf(state, 1));
  EXPECT_FALSE(switchOf(state, 2));
  EXPECT_FALSE(switchOf(state, 3)) << "the table switch must load the key it is saved under";
  EXPECT_FALSE(switchOf(state, 4));
  EXPECT_EQ(numberOf(state, 5), 300) << "shown as stored";
}

TEST_F(PageState, SaveWritesSwitchesAsOneOrZeroAndAppliesGaugeSettings) {
  store("carDamageHUD", "HUD", "Enabled", "2");
  PluginState state(nullptr);
  state.items[5].value = std::int32_t{35};
  state.items[2].value = false;
  gaugesEnabled = false;
  savePageSettings(state);
  EXPECT_EQ(storedInt("TireHUD", "HUD", "Enabled"), 1);
  EXPECT_EQ(storedInt("carDamageHUD", "HUD", "Enabled"), 1);
  EXPECT_EQ(storedInt("carDamageHUD", "HUD", "Autohide"), 0);
  EXPECT_EQ(storedInt("DamagedPartTableHUD", "HUD", "Enabled"), 1);
  EXPECT_EQ(storedInt("gauges", "Gauges", "Enabled"), 1);
  EXPECT_EQ(storedInt("gauges", "Gauges", "RefreshRate"), 35);
  EXPECT_TRUE(gaugesEnabled);
  EXPECT_EQ(refreshRate, 35);
  EXPECT_FLOAT_EQ(state.saveFeedbackTimer, 1.0f);

  state.items[4].value = false;
  savePageSettings(state);
  EXPECT_FALSE(gaugesEnabled);
  EXPECT_EQ(storedInt("gauges", "Gauges", "Enabled"), 0);
}

TEST_F(PageState, SavedValuesShowAgainAfterARestart) {
  {
    PluginState first(nullptr);
    for (int e = 0; e <= 4; ++e) first.items[e].value = (e % 2) == 1;
    first.items[5].value = std::int32_t{120};
    first.items[6].value = true;
    first.selected = 7;
    first.items[7].action();  // "Save Settings" as the page runs it
    EXPECT_FLOAT_EQ(first.saveFeedbackTimer, 1.0f);
  }
  PluginState second(nullptr);
  for (int e = 0; e <= 4; ++e) EXPECT_EQ(switchOf(second, e), (e % 2) == 1) << e;
  EXPECT_EQ(numberOf(second, 5), 120);
  EXPECT_TRUE(switchOf(second, 6)) << "telemetry";
}

TEST_F(PageState, UnreadableStoredNumbersGiveTheDefault) {
  store("gauges", "Gauges", "RefreshRate", "fast");
  store("TireHUD", "HUD", "Enabled", "yes");
  const size_t before = logContents().size();
  PluginState state(nullptr);
  EXPECT_EQ(numberOf(state, 5), 0);
  EXPECT_TRUE(switchOf(state, 0));
  const std::string added = logContents().substr(before);
  EXPECT_NE(added.find("RefreshRate"), std::string::npos) << added;
  EXPECT_NE(added.find("TireHUD.ini"), std::string::npos) << added;
}

TEST_F(PageState, OutOfRangeRateStepsBackIntoRange) {
  store("gauges", "Gauges", "RefreshRate", "300");
  PluginState state(nullptr);
  state.selected = 5;
  applyMenuInput(state, {.increase = true});
  EXPECT_EQ(numberOf(state, 5), 300);
  applyMenuInput(state, {.decrease = true});
  EXPECT_EQ(numberOf(state, 5), 295);
}
