// When a panel shows: every show flag against the host's game state, the
// after-event window on the host clock, and the shared blink clock.
#include <gtest/gtest.h>
#include <windows.h>

#include "FakeHost.h"
#include "ManualClock.h"
#include "PanelFiles.h"
#include "panels/BasicHUD.h"

using namespace ostrel;
using testing_support::PanelHost;

namespace {

class Visibility : public ::testing::Test {
 protected:
  void SetUp() override { mem.install(); }
  PanelHost mem;
  BasicHUD panel{"VisibilityProbe"};
  bool shown(std::uint32_t flags) {
    panel.enabled = 1;
    panel.showFlags = flags;
    return panel.isVisible();
  }
};

}  // namespace

TEST_F(Visibility, SettingsFileGivesLayoutAndFlags) {
  panel_tests::clearPanelFile("FlagProbe");
  {
    BasicHUD none("FlagProbe");
    EXPECT_EQ(none.enabled, 0);
    EXPECT_EQ(none.showFlags, 0u);
    EXPECT_FLOAT_EQ(none.scale, 1.0f);
    mem.mode(1);
    EXPECT_FALSE(none.isVisible()) << "without a settings file a panel stays hidden";
  }
  panel_tests::setPanelKey("FlagProbe", "Enabled", "1");
  panel_tests::setPanelKey("FlagProbe", "PosX", "12.5");
  panel_tests::setPanelKey("FlagProbe", "PosY", "40");
  panel_tests::setPanelKey("FlagProbe", "Scale", "0.5");
  {
    BasicHUD enabledOnly("FlagProbe");
    EXPECT_EQ(enabledOnly.enabled, 1);
    EXPECT_FLOAT_EQ(enabledOnly.posX, 12.5f);
    EXPECT_FLOAT_EQ(enabledOnly.posY, 40.0f);
    EXPECT_FLOAT_EQ(enabledOnly.scale, 0.5f);
    for (int m : {1, 2, 8, 10}) {
      mem.mode(m);
      EXPECT_FALSE(enabledOnly.isVisible()) << "enabled but no show flag, mode " << m;
    }
  }
  const char* keys[] = {"ShowBeforeStart", "ShowWhileDriving", "ShowAfterFinish", "ShowInMode2",
                        "ShowInMode8",     "ShowInMode10",     "ShowAfterEvent"};
  for (int bit = 0; bit < 7; ++bit) {
    panel_tests::setPanelKey("FlagProbe", keys[bit], "1");
    BasicHUD one("FlagProbe");
    EXPECT_EQ(one.showFlags, 1u << bit) << keys[bit];
    panel_tests::setPanelKey("FlagProbe", keys[bit], "0");
  }
  panel_tests::setPanelKey("FlagProbe", "ShowInMode8", "1");
  BasicHUD later("FlagProbe");
  panel_tests::setPanelKey("FlagProbe", "ShowInMode8", "0");
  panel_tests::setPanelKey("FlagProbe", "ShowInMode2", "3");
  later.reload();
  EXPECT_EQ(later.showFlags, static_cast<std::uint32_t>(ShowInMode2)) << "reload rereads the flags";
}

TEST_F(Visibility, StageFlagsFollowTheStagePhase) {
  mem.mode(1);
  mem.preStart(3.0f);
  EXPECT_TRUE(shown(ShowBeforeStart));
  EXPECT_FALSE(shown(ShowWhileDriving));
  mem.finished(1);
  EXPECT_FALSE(shown(ShowAfterFinish)) << "before the start the finished flag does not count";
  EXPECT_FALSE(shown(ShowWhileDriving | ShowAfterFinish));

  mem.preStart(0.0f);
  mem.finished(0);
  EXPECT_TRUE(shown(ShowWhileDriving));
  EXPECT_FALSE(shown(ShowBeforeStart | ShowAfterFinish));
  mem.paused(1);
  EXPECT_FALSE(shown(ShowWhileDriving)) << "paused";
  EXPECT_FALSE(shown(ShowWhileDriving | ShowBeforeStart | ShowAfterFinish));
  mem.paused(0);

  mem.finished(1);
  EXPECT_TRUE(shown(ShowAfterFinish));
  EXPECT_FALSE(shown(ShowWhileDriving | ShowBeforeStart));

  panel.showFlags = ShowBeforeStart | ShowWhileDriving | ShowAfterFinish;
  panel.enabled = 0;
  EXPECT_FALSE(panel.isVisible()) << "disabled";
}

TEST_F(Visibility, ModeFlagsOnlyInTheirMode) {
  const std::pair<std::int32_t, std::uint32_t> modes[] = {{2, ShowInMode2}, {8, ShowInMode8}, {10, ShowInMode10}};
  for (auto [m, flag] : modes) {
    for (auto [other, otherFlag] : modes) {
      mem.mode(other);
      EXPECT_EQ(shown(flag), m == other) << "flag of mode " << m << " in mode " << other;
    }
    mem.mode(1);
    EXPECT_FALSE(shown(flag));
    mem.mode(5);
    EXPECT_FALSE(shown(flag));
  }
  mem.mode(3);
  EXPECT_FALSE(shown(0x7F & ~ShowAfterEvent));
}

TEST_F(Visibility, AfterEventWindowOnTheHostClock) {
  mem.mode(1);
  mem.paused(1);  // only the event can show the panel
  mem.clock(100.0f);
  EXPECT_FALSE(shown(ShowAfterEvent));
  mem.eventFlag(1);
  mem.eventCode(12);
  EXPECT_FALSE(shown(ShowAfterEvent)) << "another event code";
  mem.eventCode(13);
  EXPECT_TRUE(shown(ShowAfterEvent));
  EXPECT_FLOAT_EQ(panel.eventTime, 100.0f);
  mem.clock(102.0f);
  EXPECT_TRUE(shown(ShowAfterEvent)) << "the event still holds";
  mem.eventFlag(0);
  mem.clock(106.9f);
  EXPECT_TRUE(shown(ShowAfterEvent)) << "4.9 s after the last frame with the event";
  mem.clock(107.0f);
  EXPECT_FALSE(shown(ShowAfterEvent)) << "5.0 s after";
  EXPECT_FALSE(shown(ShowWhileDriving)) << "and the flag alone does nothing while paused";

  mem.eventFlag(1);
  mem.clock(200.0f);
  EXPECT_TRUE(shown(ShowAfterEvent));
  mem.eventFlag(0);
  mem.mode(2);
  EXPECT_FALSE(shown(ShowAfterEvent));
  EXPECT_EQ(panel.eventTime, 0.0f) << "leaving mode 1 clears the pending time";
  mem.mode(1);
  mem.clock(201.0f);
  EXPECT_FALSE(shown(ShowAfterEvent));

  mem.clock(0.0f);  // an event at clock 0.0 records "none pending"
  mem.eventFlag(1);
  EXPECT_TRUE(shown(ShowAfterEvent));
  mem.eventFlag(0);
  mem.clock(0.5f);
  EXPECT_FALSE(shown(ShowAfterEvent));

  // A broken link to the event code reads as no event.
  PanelHost::put<std::uint32_t>(mem.eventLink, 0x10, 0);
  mem.eventFlag(1);
  EXPECT_FALSE(shown(ShowAfterEvent));
}

TEST_F(Visibility, NoHostBlocksMeansModeZero) {
  host::pointers() = {};
  EXPECT_FALSE(shown(0x7F));
}

TEST(BlinkClock, OnForTheFirstHalfOfEachSecond) {
  test_support::ManualClock clock;
  BasicHUD a("BlinkProbe");
  a.stepBlink();  // starts the shared period if no panel has yet
  clock.advance(1.2);
  a.stepBlink();
  EXPECT_FALSE(a.blinkOn) << "period restarted";
  clock.advance(0.3);
  a.stepBlink();
  EXPECT_TRUE(a.blinkOn);
  BasicHUD b("BlinkProbe");
  b.stepBlink();
  EXPECT_TRUE(b.blinkOn) << "one clock for all panels";
  clock.advance(0.4);
  b.stepBlink();
  EXPECT_FALSE(b.blinkOn);
}
