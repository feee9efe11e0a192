// The settings page: menu keys on the page state, and the page and the save
// feedback as the host receives them.
#include <gtest/gtest.h>

#include <algorithm>

#include "RecordingHost.h"
#include "TestFiles.h"
#include "plugin/MenuLogic.h"
#include "plugin/MenuPage.h"
#include "plugin/PluginState.h"

using namespace ostrel;
using testing_support::RecordingHost;

namespace {

class Page : public ::testing::Test {
 protected:
  void SetUp() override {
    ensurePluginFolder();
    removePageSettingsFiles();
  }
  void TearDown() override { removePageSettingsFiles(); }
};

using enum SettingId;
const int kRate = entryOf(kGaugeRefreshRate);
int rate(const PluginState& s) { return std::get<std::int32_t>(s.items[kRate].value); }
int saveEntry(const PluginState& s) { return static_cast<int>(s.items.size()) - 1; }

// A longer list than the page shows, to see it scroll.
MenuPageState numberedList(int n) {
  MenuPageState page;
  for (int i = 0; i < n; ++i) {
    MenuItem item;
    item.kind = kSwitchItem;
    item.value = false;
    page.items.push_back(item);
  }
  return page;
}

}  // namespace

TEST_F(Page, UpAndDownWrapAroundAllTheEntries) {
  PluginState state(nullptr);
  applyMenuInput(state, {.up = true});
  EXPECT_EQ(state.selected, saveEntry(state));
  EXPECT_EQ(state.firstVisible, 0);
  applyMenuInput(state, {.down = true});
  EXPECT_EQ(state.selected, 0);
  EXPECT_EQ(state.firstVisible, 0);
  applyMenuInput(state, {.up = true, .down = true});  // down wins
  EXPECT_EQ(state.selected, 1);
}

TEST(MenuScrolling, ListLongerThanThePageScrollsOneRowAtATime) {
  MenuPageState page = numberedList(15);
  for (int i = 0; i < 9; ++i) applyMenuInput(page, {.down = true});
  EXPECT_EQ(page.selected, 9);
  EXPECT_EQ(page.firstVisible, 0);
  applyMenuInput(page, {.down = true});
  EXPECT_EQ(page.selected, 10);
  EXPECT_EQ(page.firstVisible, 1);
  for (int i = 0; i < 4; ++i) applyMenuInput(page, {.down = true});
  EXPECT_EQ(page.selected, 14);
  EXPECT_EQ(page.firstVisible, 5);
  applyMenuInput(page, {.down = true});
  EXPECT_EQ(page.selected, 0);
  EXPECT_EQ(page.firstVisible, 0);
  applyMenuInput(page, {.up = true});
  EXPECT_EQ(page.selected, 14);
  EXPECT_EQ(page.firstVisible, 5);
  for (int i = 0; i < 9; ++i) applyMenuInput(page, {.up = true});
  EXPECT_EQ(page.selected, 5);
  EXPECT_EQ(page.firstVisible, 5);
  applyMenuInput(page, {.up = true});
  EXPECT_EQ(page.selected, 4);
  EXPECT_EQ(page.firstVisible, 4);
}

TEST(MenuScrolling, EmptyListIgnoresInput) {
  MenuPageState page;
  applyMenuInput(page, {.up = true, .increase = true, .select = true});
  EXPECT_EQ(page.selected, 0);
}

TEST_F(Page, RefreshRateStaysWithinItsRange) {
  PluginState state(nullptr);
  state.selected = kRate;
  for (int i = 0; i < 5; ++i) applyMenuInput(state, {.increase = true});
  EXPECT_EQ(rate(state), 25);
  state.items[kRate].value = std::int32_t{240};
  applyMenuInput(state, {.increase = true});
  EXPECT_EQ(rate(state), 240);
  state.items[kRate].value = std::int32_t{3};
  applyMenuInput(state, {.decrease = true});
  EXPECT_EQ(rate(state), 0);
  applyMenuInput(state, {.decrease = true});
  EXPECT_EQ(rate(state), 0);
  state.items[kRate].value = std::int32_t{100};
  applyMenuInput(state, {.decrease = true, .increase = true});
  EXPECT_EQ(rate(state), 100);
  state.items[kRate].value = std::int32_t{238};  // increase clipped at 240, then one step down
  applyMenuInput(state, {.decrease = true, .increase = true});
  EXPECT_EQ(rate(state), 235);
}

TEST_F(Page, SwitchesInvertOnceAndSelectOnlyRunsActions) {
  PluginState state(nullptr);
  applyMenuInput(state, {.decrease = true, .increase = true});
  EXPECT_FALSE(std::get<bool>(state.items[0].value));
  applyMenuInput(state, {.decrease = true});
  EXPECT_TRUE(std::get<bool>(state.items[0].value));
  applyMenuInput(state, {.select = true});
  EXPECT_TRUE(std::get<bool>(state.items[0].value));
  state.selected = kRate;
  applyMenuInput(state, {.select = true});
  EXPECT_EQ(rate(state), 0);
  EXPECT_LT(state.saveFeedbackTimer, 0.0f);
  // Down and increase together change the entry below.
  const int gauges = entryOf(kGaugesEnabled);
  state.selected = gauges - 1;
  applyMenuInput(state, {.down = true, .increase = true});
  EXPECT_EQ(state.selected, gauges);
  EXPECT_TRUE(std::get<bool>(state.items[gauges - 1].value));
  EXPECT_FALSE(std::get<bool>(state.items[gauges].value));
  // Select on "Save Settings" saves; increase there changes nothing.
  while (state.selected < saveEntry(state) - 1) applyMenuInput(state, {.down = true});
  applyMenuInput(state, {.down = true, .increase = true, .select = true});
  EXPECT_EQ(state.selected, saveEntry(state));
  EXPECT_FLOAT_EQ(state.saveFeedbackTimer, 1.0f);
  EXPECT_EQ(storedInt("gauges", "Gauges", "Enabled"), 0);
}

TEST(MenuValues, TextsByKind) {
  MenuItem item;
  item.kind = kWholeNumberItem;
  item.value = std::int32_t{-35};
  EXPECT_EQ(menuValueText(item), "-35");
  item.kind = kDecimalNumberItem;
  item.value = 2.5f;
  EXPECT_EQ(menuValueText(item), "2.50");
  item.kind = kSwitchItem;
  item.value = true;
  EXPECT_EQ(menuValueText(item), "ON");
  item.value = false;
  EXPECT_EQ(menuValueText(item), "OFF");
  item.kind = 7;
  EXPECT_EQ(menuValueText(item), "");
}

TEST(MenuValues, DecimalEntriesStepAsFloats) {
  MenuPageState page;
  MenuItem item;
  item.kind = kDecimalNumberItem;
  item.value = 0.9f;
  item.minimum = 0.0f;
  item.maximum = 1.0f;
  item.step = 0.25f;
  page.items.push_back(item);
  applyMenuInput(page, {.increase = true});
  EXPECT_FLOAT_EQ(std::get<float>(page.items[0].value), 1.0f);
  applyMenuInput(page, {.decrease = true});
  EXPECT_FLOAT_EQ(std::get<float>(page.items[0].value), 0.75f);
}

TEST_F(Page, DrawsInTheHostsOrderAtTheFixedPlaces) {
  PluginState state(nullptr);
  state.items[kRate].value = std::int32_t{35};
  RecordingHost host;
  drawMenuPage(host, state);
  const std::vector<std::string> calls = host.lines();
  ASSERT_GE(calls.size(), 12u);
  const std::vector<std::string> head(calls.begin(), calls.begin() + 6);
  EXPECT_EQ(head, (std::vector<std::string>{"PrepareMenuPage 0 0 0 0", "BeginDrawModes 64",
                                            "SelectTextMode 4", "SelectFont 3", "BeginDrawModes 1",
                                            calls[5]}));
  EXPECT_EQ(calls[5].rfind("WriteText 320 20 ", 0), 0u) << calls[5];
  EXPECT_NE(calls[5].find("0.2.6.4"), std::string::npos) << calls[5];
  EXPECT_EQ(calls[6], "EndDrawModes 1");
  EXPECT_EQ(calls[7], "SelectFont 0");
  EXPECT_EQ(calls[8], "SetColor 1 1 1 1");
  EXPECT_EQ(calls[9].rfind("WriteText 455 460 ", 0), 0u);
  EXPECT_EQ(calls[10].rfind("WriteText 515 440 ", 0), 0u);
  const std::vector<std::string> rows(calls.begin() + 11, calls.end());
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "DrawHighlightBox 100 50 440 21", "SetColor 1 1 1 1",
                      "WriteText 105 52 Tire HUD", "WriteText 500 52 ON",
                      "WriteText 105 73 Car Damage HUD", "WriteText 500 73 ON",
                      "WriteText 105 94      Autohide", "WriteText 500 94 ON",
                      "WriteText 105 115 Damaged Part Table", "WriteText 500 115 ON",
                      "WriteText 105 136 Best Run Delta", "WriteText 500 136 ON",
                      "WriteText 105 157 Gauges", "WriteText 500 157 ON",
                      "WriteText 105 178      Refresh Rate(Experimental)", "WriteText 500 178 35",
                      "WriteText 105 199 Telemetry", "WriteText 500 199 OFF",
                      "WriteText 105 220 " + std::string(59, ' ') + "Save Settings", "WriteText 500 220 ",
                      "WriteText 100 400 Displays tire wear before the stage starts",
                      "EndDrawModes 64"}));
}

TEST_F(Page, HighlightFollowsTheSelectionAndScrolledRows) {
  PluginState state(nullptr);
  state.selected = saveEntry(state);
  RecordingHost host;
  drawMenuPage(host, state);
  std::vector<std::string> calls = host.lines();
  const std::string saveBox = "DrawHighlightBox 100 " + std::to_string(50 + 21 * saveEntry(state)) + " 440 21";
  EXPECT_NE(std::find(calls.begin(), calls.end(), saveBox), calls.end());
  EXPECT_EQ(host.writesAt(100, 400), (std::vector<std::string>{""}));

  // Scrolled: row 0 shows entry firstVisible.
  state.firstVisible = 2;
  state.selected = 3;
  host.calls.clear();
  drawMenuPage(host, state);
  EXPECT_EQ(host.writesAt(105, 52), (std::vector<std::string>{"     Autohide"}));
  calls = host.lines();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "DrawHighlightBox 100 71 440 21"), calls.end());
  const int left = static_cast<int>(state.items.size()) - 2;
  EXPECT_FALSE(host.writesAt(105, 52 + 21 * (left - 1)).empty()) << "the last entry shows";
  EXPECT_TRUE(host.writesAt(105, 52 + 21 * left).empty()) << "only " << left << " entries are left to show";
}

TEST_F(Page, SaveFeedbackShowsForFiveTicksAfterASave) {
  PluginState state(nullptr);
  RecordingHost host;
  tickSaveFeedback(&host, state, 0.25f);
  EXPECT_TRUE(host.calls.empty()) << "nothing is shown before a save";
  savePageSettings(state);
  for (int i = 0; i < 6; ++i) tickSaveFeedback(&host, state, 0.25f);
  EXPECT_EQ(host.writesAt(280, 460), std::vector<std::string>(5, "SAVING CONFIGURATION"));
  EXPECT_EQ(host.calls.size(), 5u);
  EXPECT_NO_THROW(tickSaveFeedback(nullptr, state, 0.25f));
}
