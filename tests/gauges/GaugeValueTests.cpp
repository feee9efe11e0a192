// Gauge values and conditions read from host records laid out as in the host.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "FakeHost.h"
#include "gauges/CarDataFile.h"
#include "gauges/GaugeValues.h"
#include "gauges/ValueSources.h"
#include "panels/BestRun.h"

using namespace ostrel::gauges;
using testing_support::GaugeHost;

TEST(GaugeValues, NoCarLoadedReadsZeroAndFalse) {
  GaugeHost::unlink();
  GaugeValueContext ctx;
  ctx.maxRpm = 8000.0f;
  ctx.upshiftRpm.assign(8, 100.0f);
  ctx.downshiftRpm.assign(8, 9000.0f);
  for (int id = 0; id < kGaugeValueCount; ++id) {
    if (id >= 26 && id <= 29) continue;  // the clock needs no car
    EXPECT_EQ(readValue(ctx, id), 0.0f) << id;
    EXPECT_FALSE(testCondition(ctx, id, 0.0f)) << id;
  }
  EXPECT_FALSE(ctx.startCaptured);
  // A car without damage or engine record: those values read 0, not offsets.
  GaugeHost host;
  GaugeHost::putAddress(host.carObject, ostrel::host::kDamageBlockOffset, nullptr);
  GaugeHost::putAddress(host.carObject, ostrel::host::kEngineRecordOffset, nullptr);
  for (int id : {8, 9, 10, 11, 25}) EXPECT_EQ(readValue(ctx, id), 0.0f) << id;
  for (int id : {40, 41, 43}) EXPECT_FALSE(testCondition(ctx, id, 0.0f)) << id;
}

TEST(GaugeValues, ConversionsFromHostFields) {
  GaugeHost host;
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
  GaugeHost::put(host.carState, ostrel::host::kDistance2Offset, 12345.0f);
  EXPECT_FLOAT_EQ(readValue(ctx, 16), 12.345f);
  EXPECT_EQ(readValue(ctx, 19), 12345.0f);
  // Boost only while the host's flag says so; battery then reads 14.5.
  GaugeHost::put(host.carState, ostrel::host::kBoostOffset, 150000.0f);
  host.batteryCharge(1.0f);
  EXPECT_EQ(readValue(ctx, 23), 0.0f);
  EXPECT_FLOAT_EQ(readValue(ctx, 25), 12.8f);
  GaugeHost::put(host.carState, ostrel::host::kBoostFlagOffset, 1);
  EXPECT_FLOAT_EQ(readValue(ctx, 23), 1.5f);
  EXPECT_FLOAT_EQ(readValue(ctx, 24), 1.5f * 14.5037f);
  EXPECT_EQ(readValue(ctx, 25), 14.5f);
  GaugeHost::put(host.carObject, ostrel::host::kCarInput4Offset, 0.7f);
  EXPECT_EQ(readValue(ctx, 33), 0.7f);
  // Wheel spin against ground speed read from the car's velocity.
  GaugeHost::put(host.carObject, ostrel::host::kGroundSpeedAOffset, 3.0f);
  GaugeHost::put(host.carObject, ostrel::host::kGroundSpeedBOffset, -4.0f);
  EXPECT_EQ(readValue(ctx, 5), 17.0f);
  host.wheelSpeed(17.005f);
  EXPECT_EQ(readValue(ctx, 6), 0.0f);
  EXPECT_EQ(readValue(ctx, 7), 0.0f);
  host.wheelSpeed(25.5f);
  EXPECT_FLOAT_EQ(readValue(ctx, 6), 0.5f);
}

TEST(GaugeValues, DistanceSinceStartCapturedOnFirstRead) {
  GaugeHost host;
  GaugeValueContext ctx;
  GaugeHost::put(host.carState, ostrel::host::kDistance3Offset, 10000.0f);
  EXPECT_EQ(readValue(ctx, 22), 0.0f);
  EXPECT_TRUE(ctx.startCaptured);
  GaugeHost::put(host.carState, ostrel::host::kDistance3Offset, 7500.0f);
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
  GaugeHost host;
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
  GaugeHost::put(host.carState, ostrel::host::kBoostFlagOffset, 1);
  EXPECT_TRUE(testCondition(ctx, 37, 0.0f));
  EXPECT_FALSE(testCondition(ctx, 38, 0.0f));
  host.rpm(3000.0f);
  EXPECT_TRUE(testCondition(ctx, 3, 2999.0f));
  EXPECT_FALSE(testCondition(ctx, 3, 3000.0f));
  EXPECT_FALSE(testCondition(ctx, 1, -1.0f));  // not a condition
  EXPECT_FLOAT_EQ(readFraction(ctx, 3, 0.0f, 6000.0f), 0.5f);
  EXPECT_EQ(readFraction(ctx, 3, 3000.0f, 3000.0f), 1.0f);
}

// ---------------------------------------------------------------------------
// Every source and condition against one car whose every field the gauges read
// holds a value of its own, so a source reading another's field or a wrong
// conversion changes a result (the offsets themselves are checked against the
// simulated host's map, simhost_tests' HostMapTests.cpp). The car's shift
// points and maximum engine speed come from its data file, found through the
// car slot as in the host.

namespace {

struct DistinctCar : GaugeHost {
  DistinctCar() {
    using namespace ostrel::host;
    wheelSpeed(31.0f);
    rpm(4321.0f);
    speed(123.25f);
    put(carState, kBoostOffset, 175000.0f);  // pascal
    put(carState, kDistance1Offset, 1500.0f);  // metres
    put(carState, kDistance2Offset, 2600.0f);
    put(carState, kDistance3Offset, 3700.0f);
    stageTime(125.5f);
    gear(5);                                 // the gear element's index
    put(carState, kBoostFlagOffset, 1);
    put(carObject, kGroundSpeedAOffset, 6.0f);  // velocity: |(6, -8)| = 10
    put(carObject, kGroundSpeedBOffset, -8.0f);
    put(carObject, kCarInput1Offset, 1.5f);
    put(carObject, kCarInput2Offset, 2.5f);
    put(carObject, kCarInput4Offset, 3.5f);  // in the host's order of the words
    put(carObject, kCarInput5Offset, 4.5f);
    put(carObject, kCarInput3Offset, 5.5f);
    shiftGear(3);                            // the shift lights' gear index
    waterKelvin(368.15f);
    oilKelvin(383.15f);
    put(engine, kOilPressureAOffset, 0.01f);  // below the 0.02 knee
    put(engine, kOilPressureBOffset, 20000.0f);
    put(damage, kDamageWarningOffset - 4, 0.25f);  // the words around the warning word
    put(damage, kDamageWarningOffset, 0.5f);
    put(damage, kDamageWarningOffset + 4, 0.75f);
    batteryCharge(0.5f);
  }
};

// Cars\Car<slot + 1>\engine.txt next to this program, as the host keeps them.
std::string writeCarDataFile(std::uint32_t slot, const std::string& text) {
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  const auto folder = std::filesystem::path(exe).parent_path() / "Cars" / ("Car" + std::to_string(slot + 1));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "engine.txt", std::ios::binary | std::ios::trunc) << text;
  return (folder / "engine.txt").string();
}

// The context a renderer builds for car slot 6 (the seventh car).
GaugeValueContext distinctContext(DistinctCar& car) {
  writeCarDataFile(6, "MaxRpm 8200\r\nGear3Up 4300\r\nGear3Down 4400\r\nGear5Up 9999\r\nGear5Down 1\r\n");
  car.carSlot(6);
  GaugeValueContext ctx;
  loadCarData(ctx);
  ctx.clock.tm_hour = 14;  // the frame's clock, already read
  ctx.clock.tm_min = 35;
  ctx.clock.tm_sec = 27;
  ctx.clockValid = true;
  return ctx;
}

void expectClose(float got, double expected, const std::string& what) {
  EXPECT_NEAR(got, expected, 1e-5 * std::max(1.0, std::fabs(expected))) << what;
}

}  // namespace

TEST(GaugeValues, CarDataFileGivesMaximumAndShiftPointsOfTheCarSlot) {
  DistinctCar car;
  GaugeValueContext ctx = distinctContext(car);
  EXPECT_EQ(ctx.maxRpm, 8200.0f);
  EXPECT_EQ(ctx.upshiftAt(3), 4300.0f);
  EXPECT_EQ(ctx.downshiftAt(3), 4400.0f);
  EXPECT_EQ(ctx.upshiftAt(5), 9999.0f);
  EXPECT_EQ(ctx.upshiftAt(2), 0.0f);
  car.carSlot(8);  // beyond the eight cars: no tables
  GaugeValueContext none;
  loadCarData(none);
  EXPECT_TRUE(none.upshiftRpm.empty());
  EXPECT_EQ(none.maxRpm, 0.0f);
}

TEST(GaugeValues, EverySourceFromItsOwnField) {
  DistinctCar car;
  GaugeValueContext ctx = distinctContext(car);
  // Driven distance starts where the first read finds distance 3.
  GaugeHost::put(car.carState, ostrel::host::kDistance3Offset, 5000.0f);
  EXPECT_EQ(readValue(ctx, 22), 0.0f);
  GaugeHost::put(car.carState, ostrel::host::kDistance3Offset, 3700.0f);

  const double ground = 35.0;          // trunc(10 x 3.578)
  const double pressure = 0.01 * 1.03421 / 0.02 + 20000 * 0.00001;
  const double expected[35] = {
      0,                               // 0: no value
      123.25,                          // 1 speed
      4321.0 / 8200.0 * 100.0,         // 2 percent of the car's maximum
      4321.0,                          // 3 engine speed
      31.0,                            // 4 wheel speed
      ground,                          // 5 ground speed
      0.0,                             // 6 spin: the wheels are slower
      (ground - 31.0) / ground,        // 7 lock
      95.0,                            // 8 water
      110.0,                           // 9 oil
      pressure * 14.5037,              // 10 oil pressure, psi
      pressure,                        // 11 oil pressure, bar
      125.5, 125.5 / 60.0, 5.5,        // 12..14 stage time
      1.5, 2.6, 3.7,                   // 15..17 distances in km
      1500.0, 2600.0, 3700.0,          // 18..20 distances
      1.3, 1300.0,                     // 21, 22 driven since the first read
      1.75, 1.75 * 14.5037,            // 23, 24 boost while the flag is set
      14.5,                            // 25 battery while the boost flag is set
      14 * 3600 + 35 * 60 + 27,        // 26 time of day
      14, 35, 27,                      // 27..29 clock
      1.5, 2.5, 5.5, 3.5, 4.5,         // 30..34 car inputs 1 to 5
  };
  for (int id = 0; id <= 34; ++id) expectClose(readValue(ctx, id), expected[id], "source " + std::to_string(id));
  for (const ValueSource& row : valueSources()) {
    if (row.kind != SourceKind::kCondition) continue;
    EXPECT_EQ(readValue(ctx, row.id), 0.0f) << row.keyword() << " has no value";
  }

  // The branches the car above does not take, each from one changed field.
  struct Variant {
    const char* what;
    std::function<void(DistinctCar&)> change;
    int id;
    double expected;
  };
  const Variant variants[] = {
      {"spin", [](DistinctCar& c) { c.wheelSpeed(42.0f); }, 6, (42.0 - ground) / ground},
      {"spin capped", [](DistinctCar& c) { c.wheelSpeed(100.0f); }, 6, 1.0},
      {"no lock while spinning", [](DistinctCar& c) { c.wheelSpeed(42.0f); }, 7, 0.0},
      {"no boost", [](DistinctCar& c) { GaugeHost::put(c.carState, ostrel::host::kBoostFlagOffset, 0); }, 23, 0.0},
      {"no boost psi", [](DistinctCar& c) { GaugeHost::put(c.carState, ostrel::host::kBoostFlagOffset, 0); }, 24, 0.0},
      {"battery", [](DistinctCar& c) { GaugeHost::put(c.carState, ostrel::host::kBoostFlagOffset, 0); }, 25, 0.5 * 2.4 + 10.4},
      {"pressure above the knee", [](DistinctCar& c) { GaugeHost::put(c.engine, ostrel::host::kOilPressureAOffset, 0.5f); }, 11,
       1.03421 + 0.2},
      {"engine at rest", [](DistinctCar& c) { c.rpm(0.01f); }, 3, 0.0},
      {"wheels at rest", [](DistinctCar& c) { c.wheelSpeed(0.01f); }, 4, 0.0},
      {"short distance", [](DistinctCar& c) { GaugeHost::put(c.carState, ostrel::host::kDistance2Offset, 1.0f); }, 16, 0.0},
  };
  for (const Variant& v : variants) {
    DistinctCar changed;
    v.change(changed);
    expectClose(readValue(ctx, v.id), v.expected, v.what);
  }
}

TEST(GaugeConditions, EveryConditionOnBothSidesOfItsBound) {
  struct Case {
    const char* what;
    int id;
    std::function<void(DistinctCar&)> set;
    float threshold;
    bool expected;
  };
  auto none = [](DistinctCar&) {};
  auto spin = [](DistinctCar& c) { c.wheelSpeed(70.0f); };  // spin (70 - 35) / 35 = 1
  auto flag = [](std::int32_t f) { return [f](DistinctCar& c) { GaugeHost::put(c.carState, ostrel::host::kBoostFlagOffset, f); }; };
  auto input4 = [](float v) { return [v](DistinctCar& c) { GaugeHost::put(c.carObject, ostrel::host::kCarInput4Offset, v); }; };
  auto word59 = [](float v) { return [v](DistinctCar& c) { GaugeHost::put(c.damage, 59 * 4, v); }; };
  auto water = [](float k) { return [k](DistinctCar& c) { c.waterKelvin(k); }; };
  auto speed = [](float v) { return [v](DistinctCar& c) { c.speed(v); }; };
  auto battery = [](float v) { return [v](DistinctCar& c) { c.batteryCharge(v); }; };
  const float percent = 4321.0f / 8200.0f * 100.0f;
  const Case cases[] = {
      {"rpm percent above", 2, none, percent - 0.01f, true},
      {"rpm percent at", 2, none, percent, false},
      {"rpm above", 3, none, 4320.9f, true},
      {"rpm at", 3, none, 4321.0f, false},
      {"spin above", 6, spin, 0.99f, true},
      {"spin at", 6, spin, 1.0f, false},
      {"lock above", 7, none, 0.11f, true},
      {"lock at", 7, none, (35.0f - 31.0f) / 35.0f, false},
      {"boost above", 23, none, 1.74f, true},
      {"boost at", 23, none, 1.75f, false},
      {"boost psi above", 24, none, 25.0f, true},
      {"boost psi beyond", 24, none, 25.5f, false},
      // The car's own gear index (3): 4300 up, 4400 down.
      {"shift up past the point", 35, none, 20.0f, true},
      {"shift up at the point", 35, none, 21.0f, false},
      {"shift down under the point", 36, none, -78.0f, true},
      {"shift down at the point", 36, none, -79.0f, false},
      {"boost flag on", 37, none, 1e9f, true},
      {"boost flag on, flag clear", 37, flag(0), -1e9f, false},
      {"boost flag off", 38, flag(0), 1e9f, true},
      {"boost flag off, flag set", 38, none, -1e9f, false},
      {"input 4 above 0.1", 39, input4(0.1001f), 1e9f, true},
      {"input 4 at 0.1", 39, input4(0.1f), -1e9f, false},
      {"damage word 59 under 0.8", 40, word59(0.79f), 1e9f, true},
      {"damage word 59 at 0.8", 40, word59(0.8f), -1e9f, false},
      {"water above 140", 41, water(413.2f), 1e9f, true},
      {"water at 140", 41, water(413.1f), -1e9f, false},
      {"speed above 120", 42, speed(120.01f), 1e9f, true},
      {"speed at 120", 42, speed(120.0f), -1e9f, false},
      {"battery under 0.833", 43, battery(0.832f), 1e9f, true},
      {"battery at 0.833", 43, battery(0.833f), -1e9f, false},
  };
  DistinctCar car;
  GaugeValueContext ctx = distinctContext(car);
  for (const Case& c : cases) {
    DistinctCar changed;
    c.set(changed);
    EXPECT_EQ(testCondition(ctx, c.id, c.threshold), c.expected) << c.what;
  }
  // Values that are not conditions never hold, whatever the threshold.
  DistinctCar again;
  for (int id : {0, 1, 4, 5, 8, 12, 25, 30, 34, 44}) EXPECT_FALSE(testCondition(ctx, id, -1e9f)) << id;
  // The shift lights' fractions on the same points: halfway into each band.
  EXPECT_FLOAT_EQ(readFraction(ctx, 35, 0.0f, 42.0f), 0.5f);
  EXPECT_FLOAT_EQ(readFraction(ctx, 36, 0.0f, -158.0f), 0.5f);
}

// Each row's preview setter and its reader agree: what the preview tool sets
// is what a gauge then shows (a value reads back; a condition can be made to
// hold and not to hold).
TEST(GaugeValues, EachSourceReadsBackWhatItsPreviewSets) {
  for (const ValueSource& row : valueSources()) {
    if (row.id == kValueNone) continue;
    GaugeHost host;
    host.batteryCharge(1.0f);
    GaugeHost::put(host.damage, ostrel::host::kDamageWarningOffset, 1.0f);
    host.waterKelvin(363.15f);
    host.shiftGear(1);
    PreviewCarValues car;
    car.context.maxRpm = 8000.0f;
    car.context.upshiftRpm.assign(8, 7000.0f);
    car.context.downshiftRpm.assign(8, 3000.0f);
    car.context.clockValid = true;
    auto shown = [&](double x) {
      row.preview(car, x);
      GaugeValueContext ctx = car.context;
      ctx.startCaptured = true;  // as the preview hands the driven distance over
      ctx.startValue = static_cast<float>(ostrel::host::field<float>(host.carState, ostrel::host::kDistance3Offset) + car.drivenMetres);
      return std::make_pair(readValue(ctx, row.id), testCondition(ctx, row.id, 0.0f));
    };
    if (row.kind == SourceKind::kCondition) {
      const bool up = shown(1.0).second, off = shown(0.0).second, down = shown(-1.0).second;
      EXPECT_TRUE((up || down) && !off) << row.keyword();
    } else {
      const bool share = row.unit && std::string(row.unit()).find("0 to 1") != std::string::npos;
      const double x = share ? 0.25 : 3.0;
      EXPECT_NEAR(shown(x).first, x, 1e-4) << row.keyword();
    }
  }
}

// The best run's three sources read what the live recorder followed: the
// delta at the same distance, the best's time, and whether a best is there
// (on the stage only).
TEST(GaugeValues, TheBestRunSourcesFollowTheStage) {
  using namespace ostrel::bestrun;
  Recorder& r = liveRecorder();
  r = Recorder();
  GaugeValueContext ctx;
  auto frame = [&](bool onStage, float time, float driven, bool finished) {
    StageSample s;
    s.onStage = onStage;
    s.stageTime = time;
    s.distanceWord = 100.0f - driven;
    s.speedKmh = 36.0f;
    s.finished = finished;
    r.frame(s);
    publish(r);
    return std::make_tuple(readValue(ctx, kValueBestDelta), readValue(ctx, kValueBestTime),
                           testCondition(ctx, kValueBestAvailable, 0.0f));
  };
  frame(true, 0.0f, 0.0f, false);
  for (int i = 1; i < 10; ++i) EXPECT_EQ(frame(true, i * 1.0f, i * 10.0f, false), std::make_tuple(0.0f, 0.0f, false));
  EXPECT_EQ(frame(true, 10.0f, 100.0f, true), std::make_tuple(0.0f, 10.0f, true)) << "the first finish is the best";
  frame(false, 0.0f, 0.0f, false);
  EXPECT_EQ(frame(true, 0.0f, 0.0f, false), std::make_tuple(0.0f, 10.0f, true)) << "before the start";
  const auto [delta, best, available] = frame(true, 3.0f, 40.0f, false);
  EXPECT_FLOAT_EQ(delta, -1.0f) << "40 m in 3 s, the best took 4";
  EXPECT_FLOAT_EQ(best, 10.0f);
  EXPECT_TRUE(available);
  EXPECT_EQ(frame(false, 0.0f, 0.0f, false), std::make_tuple(0.0f, 0.0f, false)) << "in the menu";
  r = Recorder();
  publish(r);
}
