// Gauge values and conditions read from host records laid out as in the host.
#include <gtest/gtest.h>

#include <ctime>

#include "FakeHost.h"
#include "gauges/GaugeValues.h"

using namespace ostrel::gauges;

TEST(GaugeValues, NoCarLoadedReadsZeroAndFalse) {
  FakeHost::uninstall();
  GaugeValueContext ctx;
  ctx.maxRpm = 8000.0f;
  ctx.upshiftRpm.assign(8, 100.0f);
  ctx.downshiftRpm.assign(8, 9000.0f);
  for (int id = 0; id < 44; ++id) {
    if (id >= 26 && id <= 29) continue;  // the clock needs no car
    EXPECT_EQ(readValue(ctx, id), 0.0f) << id;
    EXPECT_FALSE(testCondition(ctx, id, 0.0f)) << id;
  }
  EXPECT_FALSE(ctx.startCaptured);
  // A car without damage or engine record: those values read 0, not offsets.
  FakeHost host;
  FakeHost::putAddress(host.carObject, 0x620, nullptr);
  FakeHost::putAddress(host.carObject, 0x698, nullptr);
  for (int id : {8, 9, 10, 11, 25}) EXPECT_EQ(readValue(ctx, id), 0.0f) << id;
  for (int id : {40, 41, 43}) EXPECT_FALSE(testCondition(ctx, id, 0.0f)) << id;
}

TEST(GaugeValues, ConversionsFromHostFields) {
  FakeHost host;
  GaugeValueContext ctx;
  ctx.maxRpm = 8000.0f;
  host.rpm(2000.0f);
  host.speed(88.5f);
  EXPECT_EQ(readValue(ctx, 1), 88.5f);
  EXPECT_FLOAT_EQ(readValue(ctx, 2), 25.0f);
  EXPECT_EQ(readValue(ctx, 3), 2000.0f);
  host.rpm(0.005f);
  EXPECT_EQ(readValue(ctx, 3), 0.0f);
  host.waterKelvin(363.15f);
  host.oilKelvin(373.15f);
  EXPECT_NEAR(readValue(ctx, 8), 90.0f, 1e-3);
  EXPECT_NEAR(readValue(ctx, 9), 100.0f, 1e-3);
  host.stageTime(-3.0f);
  EXPECT_EQ(readValue(ctx, 12), 0.0f);
  host.stageTime(125.5f);
  EXPECT_FLOAT_EQ(readValue(ctx, 13), 125.5f / 60.0f);
  EXPECT_FLOAT_EQ(readValue(ctx, 14), 5.5f);
  FakeHost::put(host.carState, 0x24, 12345.0f);
  EXPECT_FLOAT_EQ(readValue(ctx, 16), 12.345f);
  EXPECT_EQ(readValue(ctx, 19), 12345.0f);
  // Boost only while the host's flag says so; battery then reads 14.5.
  FakeHost::put(host.carState, 0x18, 150000.0f);
  host.batteryCharge(1.0f);
  EXPECT_EQ(readValue(ctx, 23), 0.0f);
  EXPECT_FLOAT_EQ(readValue(ctx, 25), 12.8f);
  FakeHost::put(host.carState, 0x2B8, 1);
  EXPECT_FLOAT_EQ(readValue(ctx, 23), 1.5f);
  EXPECT_FLOAT_EQ(readValue(ctx, 24), 1.5f * 14.5037f);
  EXPECT_EQ(readValue(ctx, 25), 14.5f);
  FakeHost::put(host.carObject, 0x864, 0.7f);
  EXPECT_EQ(readValue(ctx, 33), 0.7f);
  // Wheel spin against ground speed read from the car's velocity.
  FakeHost::put(host.carObject, 0x1C0, 3.0f);
  FakeHost::put(host.carObject, 0x1C4, -4.0f);
  EXPECT_EQ(readValue(ctx, 5), 17.0f);
  host.wheelSpeed(17.005f);
  EXPECT_EQ(readValue(ctx, 6), 0.0f);
  EXPECT_EQ(readValue(ctx, 7), 0.0f);
  host.wheelSpeed(25.5f);
  EXPECT_FLOAT_EQ(readValue(ctx, 6), 0.5f);
}

TEST(GaugeValues, DistanceSinceStartCapturedOnFirstRead) {
  FakeHost host;
  GaugeValueContext ctx;
  FakeHost::put(host.carState, 0x28, 10000.0f);
  EXPECT_EQ(readValue(ctx, 22), 0.0f);
  EXPECT_TRUE(ctx.startCaptured);
  FakeHost::put(host.carState, 0x28, 7500.0f);
  EXPECT_EQ(readValue(ctx, 22), 2500.0f);
  EXPECT_FLOAT_EQ(readValue(ctx, 21), 2.5f);
}

TEST(GaugeValues, ClockIsReadOncePerFrame) {
  GaugeValueContext ctx;
  const float first = readValue(ctx, 26);
  ctx.clock.tm_hour = 25;  // stands for "still the same frame"
  EXPECT_EQ(readValue(ctx, 27), 25.0f);
  ctx.endFrame();
  const float hours = readValue(ctx, 27);
  EXPECT_GE(hours, 0.0f);
  EXPECT_LE(hours, 23.0f);
  const std::time_t now = std::time(nullptr);
  const std::tm* t = std::localtime(&now);
  EXPECT_NEAR(first, t->tm_hour * 3600 + t->tm_min * 60 + t->tm_sec, 2.0);
}

TEST(GaugeConditions, ThresholdsShiftPointsAndFixedLimits) {
  FakeHost host;
  GaugeValueContext ctx;
  ctx.upshiftRpm.assign(8, 0.0f);
  ctx.downshiftRpm.assign(8, 0.0f);
  ctx.upshiftRpm[2] = 7000.0f;
  ctx.downshiftRpm[2] = 4000.0f;
  host.shiftGear(2);
  host.rpm(6900.0f);
  EXPECT_FALSE(testCondition(ctx, 35, 0.0f));
  EXPECT_TRUE(testCondition(ctx, 35, -200.0f));
  EXPECT_FLOAT_EQ(readFraction(ctx, 35, -200.0f, 0.0f), 0.5f);
  host.rpm(3900.0f);
  EXPECT_TRUE(testCondition(ctx, 36, 0.0f));
  EXPECT_FALSE(testCondition(ctx, 36, -200.0f));
  host.shiftGear(3);  // no shift points for this gear: dark
  EXPECT_FALSE(testCondition(ctx, 36, 0.0f));
  EXPECT_EQ(readFraction(ctx, 36, 0.0f, -500.0f), 0.0f);
  host.shiftGear(99);  // beyond the table: dark, never read past it
  EXPECT_FALSE(testCondition(ctx, 35, -1e6f));
  EXPECT_EQ(readFraction(ctx, 35, -1e6f, 0.0f), 0.0f);

  host.speed(120.0f);
  EXPECT_FALSE(testCondition(ctx, 42, 0.0f));
  host.speed(120.5f);
  EXPECT_TRUE(testCondition(ctx, 42, 1000.0f));  // fixed limit ignores the threshold
  host.waterKelvin(273.15f + 141.0f);
  EXPECT_TRUE(testCondition(ctx, 41, 0.0f));
  host.waterKelvin(273.15f + 139.0f);
  EXPECT_FALSE(testCondition(ctx, 41, 0.0f));
  host.batteryCharge(0.8f);
  EXPECT_TRUE(testCondition(ctx, 43, 0.0f));
  host.batteryCharge(0.9f);
  EXPECT_FALSE(testCondition(ctx, 43, 0.0f));
  EXPECT_TRUE(testCondition(ctx, 38, 0.0f));
  FakeHost::put(host.carState, 0x2B8, 1);
  EXPECT_TRUE(testCondition(ctx, 37, 0.0f));
  EXPECT_FALSE(testCondition(ctx, 38, 0.0f));
  host.rpm(3000.0f);
  EXPECT_TRUE(testCondition(ctx, 3, 2999.0f));
  EXPECT_FALSE(testCondition(ctx, 3, 3000.0f));
  EXPECT_FALSE(testCondition(ctx, 1, -1.0f));  // not a condition
  EXPECT_FLOAT_EQ(readFraction(ctx, 3, 0.0f, 6000.0f), 0.5f);
  EXPECT_EQ(readFraction(ctx, 3, 3000.0f, 3000.0f), 1.0f);
}
