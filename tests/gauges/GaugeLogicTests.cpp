// The Windows-free arithmetic of the gauges: conversions, fractions, needle
// calibration and spring, colour blending, pie segments, formats, effects.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gauges/GaugeEffect.h"
#include "gauges/GaugeMath.h"
#include "gauges/GaugeValueContext.h"
#include "gauges/GaugeValueId.h"
#include "gauges/NumberFormats.h"

using namespace ostrel::gauges;

TEST(GaugeMath, WheelSpinAndLockIgnoreTinySpeedDifferences) {
  EXPECT_EQ(wheelSpin(50.005f, 50.0f), 0.0f);
  EXPECT_EQ(wheelLock(50.0f, 50.005f), 0.0f);
  EXPECT_NEAR(wheelSpin(60.0f, 50.0f), 0.2f, 1e-6);
  EXPECT_EQ(wheelLock(60.0f, 50.0f), 0.0f);
  EXPECT_NEAR(wheelLock(40.0f, 50.0f), 0.2f, 1e-6);
  EXPECT_EQ(wheelSpin(200.0f, 50.0f), 1.0f);  // capped
  EXPECT_EQ(wheelSpin(10.0f, 0.0f), 1.0f);    // standing car, spinning wheels: full, not inf
}

TEST(GaugeMath, ConversionsOfRawHostNumbers) {
  EXPECT_EQ(takenAbove(0.01f), 0.0f);
  EXPECT_EQ(takenAbove(0.02f), 0.02f);
  EXPECT_FLOAT_EQ(rpmPercent(4000.0f, 8000.0f), 50.0f);
  EXPECT_EQ(rpmPercent(4000.0f, 0.0f), 0.0f);  // unknown maximum: no NaN, no inf
  EXPECT_EQ(groundSpeed(-3.0f, 4.0f), 17.0f);  // trunc(5 * 3.578)
  EXPECT_FLOAT_EQ(pressureBar(0.01f, 100000.0f), 0.517105f + 1.0f);
  EXPECT_FLOAT_EQ(pressureBar(1.0f, 0.0f), 1.03421f);
  EXPECT_EQ(kilometres(1.0f), 0.0f);
  EXPECT_FLOAT_EQ(kilometres(2500.0f), 2.5f);
}

TEST(GaugeMath, FractionsClampAndNeverDivideByZero) {
  EXPECT_EQ(fractionBetween(-10.0f, 0.0f, 100.0f), 0.0f);
  EXPECT_EQ(fractionBetween(150.0f, 0.0f, 100.0f), 1.0f);
  EXPECT_FLOAT_EQ(fractionBetween(25.0f, 0.0f, 100.0f), 0.25f);
  EXPECT_EQ(fractionBetween(4.9f, 5.0f, 5.0f), 0.0f);
  EXPECT_EQ(fractionBetween(5.0f, 5.0f, 5.0f), 1.0f);
  EXPECT_EQ(fractionBetween(NAN, 0.0f, 1.0f), 0.0f);
  // Shift-up band 500 below to the point itself.
  EXPECT_EQ(shiftUpFraction(0.0f, 9000.0f, -500.0f, 0.0f), 0.0f);
  EXPECT_EQ(shiftUpFraction(7000.0f, 6500.0f, -500.0f, 0.0f), 0.0f);
  EXPECT_FLOAT_EQ(shiftUpFraction(7000.0f, 6750.0f, -500.0f, 0.0f), 0.5f);
  EXPECT_EQ(shiftUpFraction(7000.0f, 7000.0f, -500.0f, 0.0f), 1.0f);
  // Shift-down band from the point down to 500 below it.
  EXPECT_EQ(shiftDownFraction(4000.0f, 4000.0f, 0.0f, -500.0f), 0.0f);
  EXPECT_FLOAT_EQ(shiftDownFraction(4000.0f, 3750.0f, 0.0f, -500.0f), 0.5f);
  EXPECT_EQ(shiftDownFraction(4000.0f, 3500.0f, 0.0f, -500.0f), 1.0f);
}

TEST(GaugeMath, CalibrationWalksSegmentsAndHoldsTheEnds) {
  const std::vector<float> angles{0.0f, 270.0f}, values{0.0f, 8000.0f};
  EXPECT_FLOAT_EQ(calibratedAngle(angles, values, 4000.0f), 135.0f);
  EXPECT_EQ(calibratedAngle(angles, values, -5.0f), 0.0f);
  EXPECT_EQ(calibratedAngle(angles, values, 9000.0f), 270.0f);
  // A bent scale: the first half of the sweep for the first quarter of values.
  const std::vector<float> a3{0.0f, 135.0f, 270.0f}, v3{0.0f, 2000.0f, 8000.0f};
  EXPECT_FLOAT_EQ(calibratedAngle(a3, v3, 1000.0f), 67.5f);
  EXPECT_FLOAT_EQ(calibratedAngle(a3, v3, 5000.0f), 202.5f);
  EXPECT_EQ(calibratedAngle({30.0f}, {10.0f}, 5.0f), 30.0f);
  EXPECT_EQ(calibratedAngle({}, {}, 5.0f), 0.0f);
  EXPECT_EQ(calibratedAngle({10.0f, 20.0f}, {5.0f, 5.0f}, 5.0f), 10.0f);  // no 0/0
}

TEST(GaugeMath, SpringOvershootsThenSettlesAtAnyFrameRate) {
  const float target = 1.0f;
  SpringState s;
  float peak = 0.0f;
  for (int i = 0; i < 300; ++i) {  // 5 s at 60 frames per second
    stepSpring(s, target, 1.0f / 60.0f, 30.0f, 2.0f, 15.0f);
    peak = std::max(peak, s.angle);
  }
  EXPECT_GT(peak, target * 1.05f);  // swings past the target...
  EXPECT_NEAR(s.angle, target, 1e-3);  // ...and comes to rest on it

  // The same simulated time in one call ends in the same state: fixed steps.
  SpringState a, b;
  for (int i = 0; i < 90; ++i) stepSpring(a, target, kSpringStep, 30.0f, 2.0f, 15.0f);
  stepSpring(b, target, kSpringStep * 90.0f + 1e-6f, 30.0f, 2.0f, 15.0f);
  EXPECT_NEAR(a.angle, b.angle, 1e-4);

  // Heavy damping: no overshoot.
  SpringState d;
  float dPeak = 0.0f;
  for (int i = 0; i < 600; ++i) {
    stepSpring(d, target, 1.0f / 60.0f, 30.0f, 8.0f, 15.0f);
    dPeak = std::max(dPeak, d.angle);
  }
  EXPECT_LE(dPeak, target + 1e-4f);
  // Less than a step of frame time does not move the needle yet.
  SpringState e;
  stepSpring(e, target, kSpringStep * 0.5f, 30.0f, 2.0f, 15.0f);
  EXPECT_EQ(e.angle, 0.0f);
  EXPECT_FLOAT_EQ(e.accumulator, kSpringStep * 0.5f);
}

TEST(GaugeMath, SpringCatchesUpABoundedTimeAfterALongGap) {
  // A day, a year and more in one frame (a paused or suspended game), and
  // frame times that are no time at all: each call returns at once, with at
  // most the catch-up limit stepped and the needle settled or untouched.
  const float target = 1.0f;
  for (float gap : {3600.0f * 24.0f, 3.2e7f, 1e30f, std::numeric_limits<float>::infinity()}) {
    SpringState s;
    stepSpring(s, target, gap, 30.0f, 2.0f, 15.0f);
    EXPECT_NEAR(s.angle, target, 0.05f) << gap;
    EXPECT_LT(s.accumulator, kSpringStep) << gap;
  }
  for (float nothing : {-5.0f, std::numeric_limits<float>::quiet_NaN()}) {
    SpringState s;
    stepSpring(s, target, nothing, 30.0f, 2.0f, 15.0f);
    EXPECT_EQ(s.angle, 0.0f);
    EXPECT_EQ(s.accumulator, 0.0f);
    stepSpring(s, target, kSpringStep * 2.0f, 30.0f, 2.0f, 15.0f);  // and it still moves afterwards
    EXPECT_GT(s.angle, 0.0f);
  }
}

TEST(GaugeMath, ColourBlendPerChannelAndPieSegments) {
  EXPECT_EQ(blendColour(0xFF0000FFu, 0x80FF0000u, 1.0f), 0x80FF0000u);
  EXPECT_EQ(blendColour(0xFF0000FFu, 0x80FF0000u, 0.0f), 0xFF0000FFu);
  EXPECT_EQ(blendColour(0xFF0000FFu, 0x80FF0000u, 2.0f), 0x80FF0000u);
  EXPECT_EQ(blendColour(0x00000000u, 0xFFFFFFFFu, 0.5f), 0x7F7F7F7Fu);
  EXPECT_EQ(blendColour(0xFF204060u, 0xFF604020u, 0.5f), 0xFF404040u);
  const float rad = 0.017453292f;
  EXPECT_EQ(pieSegmentCount(0.0f, 90.0f * rad), 12);
  EXPECT_EQ(pieSegmentCount(0.0f, 3.0f * 6.2831855f / 50.0f * 0.99f), 3);
  EXPECT_EQ(pieSegmentCount(4.712389f - 360.0f * rad, 4.712389f), 50);
  EXPECT_EQ(pieSegmentCount(0.0f, NAN), 3);
}

TEST(NumberFormats, TextsOfEveryFormat) {
  EXPECT_EQ(formatNumber(1, 123.9f), "123");
  EXPECT_EQ(formatNumber(1, -7.9f), "-7");
  EXPECT_EQ(formatNumber(2, 3.14159f), "3.1");
  EXPECT_EQ(formatNumber(3, 3.14159f), "3.14");
  EXPECT_EQ(formatNumber(4, 3.14159f), "3.142");
  EXPECT_EQ(formatNumber(5, 7.0f), "07");
  EXPECT_EQ(formatNumber(6, 7.0f), "007");
  EXPECT_EQ(formatNumber(7, 42.0f), "0042");
  EXPECT_EQ(formatNumber(8, 42.0f), "00042");
  EXPECT_EQ(formatNumber(9, 12.5f), "0012.5");
  EXPECT_EQ(formatNumber(10, 12.5f), "00012.50");
  EXPECT_EQ(formatNumber(11, 125.75f), "2:05.75");
  EXPECT_EQ(formatNumber(12, 125.75f), "2:05.750");
  EXPECT_EQ(formatNumber(13, 125.7f), "2:05");
  EXPECT_EQ(formatNumber(14, 7384.0f), "2:03");
  EXPECT_EQ(formatNumber(15, 7384.0f), "2:03:04");
  EXPECT_EQ(formatNumber(13, -65.0f), "-1:05");
}

TEST(NumberFormats, NoFormatUnshowableValuesAndKeywords) {
  bool invalid = false;
  EXPECT_EQ(formatNumber(0, 5.0f, &invalid), "");
  EXPECT_TRUE(invalid);
  EXPECT_EQ(formatNumber(16, 5.0f, &invalid), "");
  EXPECT_TRUE(invalid);
  EXPECT_EQ(formatNumber(-1, 5.0f, &invalid), "");
  EXPECT_TRUE(invalid);
  formatNumber(1, 5.0f, &invalid);
  EXPECT_FALSE(invalid);
  // Every text stays within 31 drawable characters, whatever the value.
  for (int f = 1; f < kNumberFormatCount; ++f) {
    for (float v : {0.0f, -1.0f, 1e9f, -1e9f, 3e38f, -3e38f, INFINITY, NAN, 1e-30f}) {
      const std::string t = formatNumber(f, v);
      EXPECT_LE(t.size(), kMaxNumberText) << f << " " << v;
      EXPECT_EQ(t.find_first_not_of("0123456789:.-"), std::string::npos) << f << " " << v << " " << t;
    }
  }
  for (int f = 0; f < kNumberFormatCount; ++f) EXPECT_EQ(numberFormatFromKeyword(numberFormatKeyword(f)), f);
  EXPECT_EQ(numberFormatFromKeyword("nosuchformat"), 1);
  EXPECT_EQ(numberFormatFromKeyword(""), 1);
}

TEST(GaugeValueIds, EachIdHasItsOwnKeyword) {
  for (int id = 0; id < kGaugeValueCount; ++id) {
    const std::string k = gaugeValueKeyword(id);
    ASSERT_FALSE(k.empty()) << id;
    EXPECT_EQ(gaugeValueIdFromKeyword(k), id) << k;
    EXPECT_EQ(k.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789"), std::string::npos) << k;
  }
  EXPECT_EQ(gaugeValueIdFromKeyword("RPM"), 0);  // callers lower-case first
  EXPECT_EQ(gaugeValueIdFromKeyword("warp"), 0);
  EXPECT_EQ(gaugeValueKeyword(kGaugeValueCount), std::string());
}

TEST(GaugeEffects, BlinkHidesTheSecondHalfOfEachPeriod) {
  GaugeEffect e;
  e.modes = kEffectBlink;
  e.period = 0.5f;
  e.halfPeriod = 0.25f;
  std::uint32_t c = 0;
  std::vector<bool> shown;
  for (int i = 0; i < 14; ++i) {  // 0.04 s frames: 0.04 .. 0.56
    e.update(0.04f, true);
    shown.push_back(e.apply(c));
    e.endFrame();
  }
  // 0.04..0.24 visible, 0.28..0.52 hidden; past 0.5 the timer starts again.
  const std::vector<bool> expected{true,  true,  true,  true,  true,  true,  false,
                                   false, false, false, false, false, false, true};
  EXPECT_EQ(shown, expected);
  // Trigger off: never hidden by the blink, and the timer does not run.
  const float timer = e.timer;
  e.update(0.3f, false);
  EXPECT_TRUE(e.apply(c));
  EXPECT_EQ(e.timer, timer);
}

TEST(GaugeEffects, ZeroPeriodNeverBlinks) {
  GaugeEffect e;
  e.modes = kEffectBlink;
  std::uint32_t c = 0;
  for (int i = 0; i < 10; ++i) {
    e.update(0.016f, true);
    EXPECT_TRUE(e.apply(c));
  }
}

TEST(GaugeEffects, OnceShowsOnlyTheFirstElementOfAFrame) {
  GaugeEffect e;
  e.modes = kEffectOnce;
  std::uint32_t c = 0;
  for (int frame = 0; frame < 3; ++frame) {
    e.update(0.016f, false);
    EXPECT_TRUE(e.apply(c));
    EXPECT_FALSE(e.apply(c));
    EXPECT_FALSE(e.apply(c));
    e.endFrame();
  }
}

TEST(GaugeEffects, ColourReplacesOnlyWhileActive) {
  GaugeEffect e;
  e.modes = kEffectColour;
  e.colour = 0xFFFF8000u;
  std::uint32_t c = 0xFF505050u;
  e.update(0.016f, false);
  EXPECT_TRUE(e.apply(c));
  EXPECT_EQ(c, 0xFF505050u);
  e.update(0.016f, true);
  EXPECT_TRUE(e.apply(c));
  EXPECT_EQ(c, 0xFFFF8000u);
}

TEST(ShiftTable, KeysWithoutCaseTabsAndMissingEntries) {
  std::vector<float> up, down;
  float maxRpm = 0.0f;
  const std::string text =
      "MaxRpm 8000\r\ngear1up\t7200\r\nGEAR2UP  7300\r\nGear2Down\t3800\r\nGear9Up 1\r\n"
      "Gear3Up rubbish\r\n; Gear4Up 9999\r\n";
  parseShiftTable(text, true, up, maxRpm);
  parseShiftTable(text, false, down, maxRpm);
  ASSERT_EQ(up.size(), 8u);
  EXPECT_EQ(up[0], 0.0f);
  EXPECT_EQ(up[1], 7200.0f);
  EXPECT_EQ(up[2], 7300.0f);
  EXPECT_EQ(up[3], 0.0f);  // not a number: stays empty instead of throwing
  EXPECT_EQ(up[4], 0.0f);
  EXPECT_EQ(down[2], 3800.0f);
  EXPECT_EQ(maxRpm, 8000.0f);
  GaugeValueContext ctx;
  ctx.upshiftRpm = up;
  EXPECT_EQ(ctx.upshiftAt(2), 7300.0f);
  EXPECT_EQ(ctx.upshiftAt(8), 0.0f);
  EXPECT_EQ(ctx.upshiftAt(-1), 0.0f);
  EXPECT_EQ(ctx.downshiftAt(1), 0.0f);  // empty table
}
