#include "gauges/ValueSources.h"

#include <cmath>
#include <cstring>

#include "gauges/GaugeMath.h"
#include "panels/BestRun.h"
#include "panels/HostState.h"
#include "plugin/FixedText.h"

namespace ostrel::gauges {
namespace {

using host::field;
using enum SourceKind;

constexpr float kKelvin = 273.15f;
constexpr float kPsiPerBar = 14.5037f;

// --- reading the host's records (null records read 0) ------------------------

const std::uint8_t* carState() { return host::pointers().carStateBlock; }
const std::uint8_t* carObject() { return host::pointers().carObject; }

float carStateFloat(std::uint32_t offset) {
  const auto* c = carState();
  return c ? field<float>(c, offset) : 0.0f;
}
std::int32_t carStateInt(std::uint32_t offset) {
  const auto* c = carState();
  return c ? field<std::int32_t>(c, offset) : 0;
}
float carObjectFloat(std::uint32_t offset) {
  const auto* c = carObject();
  return c ? field<float>(c, offset) : 0.0f;
}
float engineFloat(std::uint32_t offset) {
  const auto* e = host::engineRecord();
  return e ? field<float>(e, offset) : 0.0f;
}
std::int32_t shiftGear() {
  const auto* c = carObject();
  return c ? field<std::int32_t>(c, host::kShiftGearOffset) : -1;
}

float engineSpeed() { return takenAbove(carStateFloat(host::kEngineSpeedOffset)); }
float wheelSpeed() { return takenAbove(carStateFloat(host::kWheelSpeedOffset)); }
float ground() { return groundSpeed(carObjectFloat(host::kGroundSpeedAOffset), carObjectFloat(host::kGroundSpeedBOffset)); }
float celsius(std::uint32_t offset) { return host::engineRecord() ? engineFloat(offset) - kKelvin : 0.0f; }
float oilBar() {
  return host::engineRecord() ? pressureBar(engineFloat(host::kOilPressureAOffset), engineFloat(host::kOilPressureBOffset)) : 0.0f;
}
bool boostFlag() { return carStateInt(host::kBoostFlagOffset) != 0; }
float boostBar() { return boostFlag() ? carStateFloat(host::kBoostOffset) / 100000.0f : 0.0f; }
float batteryVolts() {
  if (!carState()) return 0.0f;
  if (boostFlag()) return 14.5f;
  const auto* d = host::damageBlock();
  return d ? field<float>(d, host::kBatteryOffset) * 2.4f + 10.4f : 0.0f;
}
float stageTime() { return std::fmax(0.0f, carStateFloat(host::kStageTimeOffset)); }

float drivenSinceStart(GaugeValueContext& context) {
  const auto* c = carState();
  if (!c) return 0.0f;
  const float current = field<float>(c, host::kDistance3Offset);
  if (!context.startCaptured) {
    context.startCaptured = true;
    context.startValue = current;
  }
  return context.startValue - current;
}

float secondsOfDay(GaugeValueContext& context) {
  const std::tm& t = context.localClock();
  return static_cast<float>(t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec);
}

bool damageBelow(std::uint32_t offset, float limit) {
  const auto* d = host::damageBlock();
  return d && limit > field<float>(d, offset);
}

// --- the preview tool's writes (records it owns, so never null there) --------

template <typename T>
void put(std::uint8_t* block, std::uint32_t offset, T value) {
  if (block) std::memcpy(block + offset, &value, sizeof value);
}
void putCarState(std::uint32_t offset, float v) { put(host::pointers().carStateBlock, offset, v); }
void putCarObject(std::uint32_t offset, float v) { put(host::pointers().carObject, offset, v); }
void putEngine(std::uint32_t offset, float v) { put(const_cast<std::uint8_t*>(host::engineRecord()), offset, v); }
void putDamage(std::uint32_t offset, float v) { put(const_cast<std::uint8_t*>(host::damageBlock()), offset, v); }
void putBoostFlag(bool on) { put(host::pointers().carStateBlock, host::kBoostFlagOffset, std::int32_t{on}); }

void setGroundSpeed(float v) {
  // The gauge takes the integer part of the ground speed: a quarter up keeps
  // whole values whole after the float round trip.
  putCarObject(host::kGroundSpeedAOffset, (std::fabs(v) + 0.25f) / 3.578f);
  putCarObject(host::kGroundSpeedBOffset, 0.0f);
}
// Wheel speed a share above (spin) or below the ground speed, which is set
// to 100 where the car stands.
void setWheelShare(float share, float sign) {
  float g = std::floor((std::fabs(carObjectFloat(host::kGroundSpeedAOffset)) +
                        std::fabs(carObjectFloat(host::kGroundSpeedBOffset))) * 3.578f);
  if (g < 1.0f) {
    g = 100.0f;
    setGroundSpeed(g);
  }
  putCarState(host::kWheelSpeedOffset, g * (1.0f + sign * std::fmin(1.0f, std::fmax(0.0f, share))));
}
void setOilBar(float v) {
  if (v >= 1.03421f) {
    putEngine(host::kOilPressureAOffset, 1.0f);
    putEngine(host::kOilPressureBOffset, (v - 1.03421f) / 0.00001f);
  } else {
    putEngine(host::kOilPressureAOffset, std::fmax(0.0f, v) * 0.02f / 1.03421f);
    putEngine(host::kOilPressureBOffset, 0.0f);
  }
}
void setBoostBar(float v) {
  putBoostFlag(true);
  putCarState(host::kBoostOffset, v * 100000.0f);
}
void setSecondsOfDay(std::tm& clock, double x) {
  const long s = static_cast<long>(std::fmod(std::fmax(0.0, x), 86400.0));
  clock.tm_hour = static_cast<int>(s / 3600);
  clock.tm_min = static_cast<int>(s / 60 % 60);
  clock.tm_sec = static_cast<int>(s % 60);
}
float f(double x) { return static_cast<float>(x); }

// Rows of one shape.
#define OSTREL_CAR_STATE_VALUE(word, valueId, offset, unitText)                         \
  .keyword = FT_FN(word), .id = valueId, .kind = kValue,                                            \
  .read = [](GaugeValueContext&) { return carStateFloat(offset); }, .unit = unitText, \
  .preview = [](PreviewCarValues&, double x) { putCarState(offset, f(x)); }
#define OSTREL_KILOMETRES(word, valueId, offset)                                                 \
  .keyword = FT_FN(word), .id = valueId, .kind = kValue,                                                      \
  .read = [](GaugeValueContext&) { return kilometres(carStateFloat(offset)); }, .unit = FT_FN("km"), \
  .preview = [](PreviewCarValues&, double x) { putCarState(offset, f(x) * 1000.0f); }
#define OSTREL_CAR_INPUT(word, valueId, offset)                                          \
  .keyword = FT_FN(word), .id = valueId, .kind = kValue,                                              \
  .read = [](GaugeValueContext&) { return carObjectFloat(offset); },                    \
  .preview = [](PreviewCarValues&, double x) { putCarObject(offset, f(x)); }

constexpr ValueSource kRows[] = {
    {.keyword = FT_FN("none"), .id = kValueNone, .kind = kValue},
    {OSTREL_CAR_STATE_VALUE("speed", kValueSpeed, host::kSpeedOffset, FT_FN("km/h"))},
    {.keyword = FT_FN("rpmpercent"), .id = kValueRpmPercent, .kind = kValueOrAbove,
     .read = [](GaugeValueContext& c) { return rpmPercent(engineSpeed(), c.maxRpm); },
     .unit = FT_FN("percent of the maximum engine speed"),
     .preview = [](PreviewCarValues& car, double x) {
       putCarState(host::kEngineSpeedOffset, f(x) / 100.0f * car.context.maxRpm); },
     .previewMeaning = FT_FN("percent of maxrpm (sets rpm)")},
    {.keyword = FT_FN("rpm"), .id = kValueRpm, .kind = kValueOrAbove,
     .read = [](GaugeValueContext&) { return engineSpeed(); }, .unit = FT_FN("rpm"),
     .preview = [](PreviewCarValues&, double x) { putCarState(host::kEngineSpeedOffset, f(x)); }},
    {.keyword = FT_FN("wheelspeed"), .id = kValueWheelSpeed, .kind = kValue,
     .read = [](GaugeValueContext&) { return wheelSpeed(); }, .unit = FT_FN("km/h"),
     .preview = [](PreviewCarValues&, double x) { putCarState(host::kWheelSpeedOffset, f(x)); }},
    {.keyword = FT_FN("groundspeed"), .id = kValueGroundSpeed, .kind = kValue,
     .read = [](GaugeValueContext&) { return ground(); }, .unit = FT_FN("km/h"),
     .preview = [](PreviewCarValues&, double x) { setGroundSpeed(f(x)); },
     .previewMeaning = FT_FN("as the gauge reads it (sets wheel and ground speed)")},
    {.keyword = FT_FN("wheelspin"), .id = kValueWheelSpin, .kind = kValueOrAbove,
     .read = [](GaugeValueContext&) { return carObject() ? wheelSpin(wheelSpeed(), ground()) : 0.0f; },
     .unit = FT_FN("share of the ground speed, 0 to 1"),
     .preview = [](PreviewCarValues&, double x) { setWheelShare(f(x), 1.0f); },
     .previewMeaning = FT_FN("as the gauge reads it (sets wheel and ground speed)")},
    {.keyword = FT_FN("wheellock"), .id = kValueWheelLock, .kind = kValueOrAbove,
     .read = [](GaugeValueContext&) { return carObject() ? wheelLock(wheelSpeed(), ground()) : 0.0f; },
     .unit = FT_FN("share of the ground speed, 0 to 1"),
     .preview = [](PreviewCarValues&, double x) { setWheelShare(f(x), -1.0f); },
     .previewMeaning = FT_FN("as the gauge reads it (sets wheel and ground speed)")},
    {.keyword = FT_FN("watertemp"), .id = kValueWaterTemp, .kind = kValue,
     .read = [](GaugeValueContext&) { return celsius(host::kWaterTempOffset); }, .unit = FT_FN("degrees Celsius"),
     .preview = [](PreviewCarValues&, double x) { putEngine(host::kWaterTempOffset, f(x) + kKelvin); },
     .previewMeaning = FT_FN("degrees Celsius")},
    {.keyword = FT_FN("oiltemp"), .id = kValueOilTemp, .kind = kValue,
     .read = [](GaugeValueContext&) { return celsius(host::kOilTempOffset); }, .unit = FT_FN("degrees Celsius"),
     .preview = [](PreviewCarValues&, double x) { putEngine(host::kOilTempOffset, f(x) + kKelvin); },
     .previewMeaning = FT_FN("degrees Celsius")},
    {.keyword = FT_FN("oilpressurepsi"), .id = kValueOilPressurePsi, .kind = kValue,
     .read = [](GaugeValueContext&) { return oilBar() * kPsiPerBar; }, .unit = FT_FN("psi"),
     .preview = [](PreviewCarValues&, double x) { setOilBar(f(x / kPsiPerBar)); },
     .previewMeaning = FT_FN("oil pressure as the gauge reads it")},
    {.keyword = FT_FN("oilpressurebar"), .id = kValueOilPressureBar, .kind = kValue,
     .read = [](GaugeValueContext&) { return oilBar(); }, .unit = FT_FN("bar"),
     .preview = [](PreviewCarValues&, double x) { setOilBar(f(x)); },
     .previewMeaning = FT_FN("oil pressure as the gauge reads it")},
    {.keyword = FT_FN("stagetime"), .id = kValueStageTime, .kind = kValue,
     .read = [](GaugeValueContext&) { return stageTime(); }, .unit = FT_FN("seconds"),
     .preview = [](PreviewCarValues&, double x) { putCarState(host::kStageTimeOffset, f(x)); },
     .previewMeaning = FT_FN("seconds")},
    {.keyword = FT_FN("stagetimeminutes"), .id = kValueStageTimeMinutes, .kind = kValue,
     .read = [](GaugeValueContext&) { return stageTime() / 60.0f; }, .unit = FT_FN("minutes"),
     .preview = [](PreviewCarValues&, double x) { putCarState(host::kStageTimeOffset, f(x) * 60.0f); },
     .previewMeaning = FT_FN("part of stagetime")},
    {.keyword = FT_FN("stagetimeseconds"), .id = kValueStageTimeSeconds, .kind = kValue,
     .read = [](GaugeValueContext&) { return std::fmod(stageTime(), 60.0f); },
     .unit = FT_FN("seconds of the minute"),
     .preview = [](PreviewCarValues&, double x) {
       putCarState(host::kStageTimeOffset, std::floor(carStateFloat(host::kStageTimeOffset) / 60.0f) * 60.0f + f(x)); },
     .previewMeaning = FT_FN("part of stagetime")},
    {OSTREL_KILOMETRES("distance1km", kValueDistance1Km, host::kDistance1Offset)},
    {OSTREL_KILOMETRES("distance2km", kValueDistance2Km, host::kDistance2Offset)},
    {OSTREL_KILOMETRES("distance3km", kValueDistance3Km, host::kDistance3Offset)},
    {OSTREL_CAR_STATE_VALUE("distance1", kValueDistance1, host::kDistance1Offset, FT_FN("metres"))},
    {OSTREL_CAR_STATE_VALUE("distance2", kValueDistance2, host::kDistance2Offset, FT_FN("metres"))},
    {OSTREL_CAR_STATE_VALUE("distance3", kValueDistance3, host::kDistance3Offset, FT_FN("metres"))},
    {.keyword = FT_FN("drivenkm"), .id = kValueDistanceDrivenKm, .kind = kValue,
     .read = [](GaugeValueContext& c) { return kilometres(drivenSinceStart(c)); }, .unit = FT_FN("km"),
     .preview = [](PreviewCarValues& car, double x) { car.drivenMetres = x * 1000.0; },
     .previewMeaning = FT_FN("kilometres driven since the set was loaded")},
    {.keyword = FT_FN("driven"), .id = kValueDistanceDriven, .kind = kValue,
     .read = [](GaugeValueContext& c) { return drivenSinceStart(c); }, .unit = FT_FN("metres"),
     .preview = [](PreviewCarValues& car, double x) { car.drivenMetres = x; },
     .previewMeaning = FT_FN("metres driven since the set was loaded")},
    {.keyword = FT_FN("boostbar"), .id = kValueBoostBar, .kind = kValueOrAbove,
     .read = [](GaugeValueContext&) { return boostBar(); }, .unit = FT_FN("bar"),
     .preview = [](PreviewCarValues&, double x) { setBoostBar(f(x)); },
     .previewMeaning = FT_FN("boost (switches the boost flag on)")},
    {.keyword = FT_FN("boostpsi"), .id = kValueBoostPsi, .kind = kValueOrAbove,
     .read = [](GaugeValueContext&) { return boostBar() * kPsiPerBar; }, .unit = FT_FN("psi"),
     .preview = [](PreviewCarValues&, double x) { setBoostBar(f(x / kPsiPerBar)); },
     .previewMeaning = FT_FN("boost (switches the boost flag on)")},
    {.keyword = FT_FN("batteryvolts"), .id = kValueBatteryVolts, .kind = kValue,
     .read = [](GaugeValueContext&) { return batteryVolts(); }, .unit = FT_FN("volts"),
     .preview = [](PreviewCarValues&, double x) {
       putBoostFlag(false);
       putDamage(host::kBatteryOffset, (f(x) - 10.4f) / 2.4f); },
     .previewMeaning = FT_FN("volts (switches the boost flag off)")},
    {.keyword = FT_FN("timeofday"), .id = kValueTimeOfDay, .kind = kValue,
     .read = secondsOfDay, .unit = FT_FN("seconds since midnight, the computer's clock"),
     .preview = [](PreviewCarValues& car, double x) { setSecondsOfDay(car.context.clock, x); },
     .previewMeaning = FT_FN("seconds since midnight (sets the clock)")},
    {.keyword = FT_FN("clockhours"), .id = kValueClockHours, .kind = kValue,
     .read = [](GaugeValueContext& c) { return static_cast<float>(c.localClock().tm_hour); }, .unit = FT_FN("hours"),
     .preview = [](PreviewCarValues& car, double x) { car.context.clock.tm_hour = static_cast<int>(x) % 24; },
     .previewMeaning = FT_FN("part of the clock")},
    {.keyword = FT_FN("clockminutes"), .id = kValueClockMinutes, .kind = kValue,
     .read = [](GaugeValueContext& c) { return static_cast<float>(c.localClock().tm_min); }, .unit = FT_FN("minutes"),
     .preview = [](PreviewCarValues& car, double x) { car.context.clock.tm_min = static_cast<int>(x) % 60; },
     .previewMeaning = FT_FN("part of the clock")},
    {.keyword = FT_FN("clockseconds"), .id = kValueClockSeconds, .kind = kValue,
     .read = [](GaugeValueContext& c) { return static_cast<float>(c.localClock().tm_sec); }, .unit = FT_FN("seconds"),
     .preview = [](PreviewCarValues& car, double x) { car.context.clock.tm_sec = static_cast<int>(x) % 60; },
     .previewMeaning = FT_FN("part of the clock")},
    {OSTREL_CAR_INPUT("carinput1", kValueCarInput1, host::kCarInput1Offset)},
    {OSTREL_CAR_INPUT("carinput2", kValueCarInput2, host::kCarInput2Offset)},
    {OSTREL_CAR_INPUT("carinput3", kValueCarInput3, host::kCarInput3Offset)},
    {OSTREL_CAR_INPUT("carinput4", kValueCarInput4, host::kCarInput4Offset)},
    {OSTREL_CAR_INPUT("carinput5", kValueCarInput5, host::kCarInput5Offset)},
    // The shift lights: engine speed against the shift point of the gear the
    // shift tables are read for, offset by the threshold (or by min and max).
    {.keyword = FT_FN("shiftup"), .id = kValueShiftUp, .kind = kCondition,
     .holds = [](GaugeValueContext& c, float threshold) {
       const float base = c.upshiftAt(shiftGear());
       return base != 0.0f && engineSpeed() > base + threshold; },
     .fraction = [](GaugeValueContext& c, float min, float max) {
       return shiftUpFraction(c.upshiftAt(shiftGear()), engineSpeed(), min, max); },
     .preview = [](PreviewCarValues& car, double x) {
       putCarState(host::kEngineSpeedOffset, car.context.upshiftAt(shiftGear()) + f(x)); },
     .previewMeaning = FT_FN("engine speed relative to the gear's up-shift point (sets rpm)")},
    {.keyword = FT_FN("shiftdown"), .id = kValueShiftDown, .kind = kCondition,
     .holds = [](GaugeValueContext& c, float threshold) {
       const float base = c.downshiftAt(shiftGear());
       return base != 0.0f && base + threshold > engineSpeed(); },
     .fraction = [](GaugeValueContext& c, float min, float max) {
       return shiftDownFraction(c.downshiftAt(shiftGear()), engineSpeed(), min, max); },
     .preview = [](PreviewCarValues& car, double x) {
       putCarState(host::kEngineSpeedOffset, car.context.downshiftAt(shiftGear()) + f(x)); },
     .previewMeaning = FT_FN("engine speed relative to the gear's down-shift point (sets rpm)")},
    {.keyword = FT_FN("boostflagon"), .id = kValueBoostFlagOn, .kind = kCondition,
     .holds = [](GaugeValueContext&, float) { return carState() && boostFlag(); },
     .preview = [](PreviewCarValues&, double x) { putBoostFlag(f(x) != 0.0f); }},
    {.keyword = FT_FN("boostflagoff"), .id = kValueBoostFlagOff, .kind = kCondition,
     .holds = [](GaugeValueContext&, float) { return carState() && !boostFlag(); },
     .preview = [](PreviewCarValues&, double x) { putBoostFlag(f(x) == 0.0f); }},
    {.keyword = FT_FN("carinput4on"), .id = kValueCarInput4On, .kind = kCondition,
     .holds = [](GaugeValueContext&, float) { return carObject() && carObjectFloat(host::kCarInput4Offset) > 0.1f; },
     .preview = [](PreviewCarValues&, double x) { putCarObject(host::kCarInput4Offset, f(x) != 0.0f ? 1.0f : 0.0f); }},
    {.keyword = FT_FN("damagewarning"), .id = kValueDamageWarning, .kind = kCondition,
     .holds = [](GaugeValueContext&, float) { return damageBelow(host::kDamageWarningOffset, 0.8f); },
     .preview = [](PreviewCarValues&, double x) { putDamage(host::kDamageWarningOffset, f(x) != 0.0f ? 0.5f : 1.0f); }},
    {.keyword = FT_FN("overheat"), .id = kValueOverheat, .kind = kCondition,
     .holds = [](GaugeValueContext&, float) {
       return host::engineRecord() && celsius(host::kWaterTempOffset) > 140.0f; },
     .preview = [](PreviewCarValues&, double x) {
       if (f(x) != 0.0f)
         putEngine(host::kWaterTempOffset, 150.0f + kKelvin);
       else if (celsius(host::kWaterTempOffset) > 140.0f)
         putEngine(host::kWaterTempOffset, 90.0f + kKelvin); }},
    {.keyword = FT_FN("overspeed"), .id = kValueOverspeed, .kind = kCondition,
     .holds = [](GaugeValueContext&, float) { return carState() && carStateFloat(host::kSpeedOffset) > 120.0f; },
     .preview = [](PreviewCarValues&, double x) {
       if (f(x) != 0.0f)
         putCarState(host::kSpeedOffset, 130.0f);
       else if (carStateFloat(host::kSpeedOffset) > 120.0f)
         putCarState(host::kSpeedOffset, 120.0f); }},
    {.keyword = FT_FN("batterylow"), .id = kValueBatteryLow, .kind = kCondition,
     .holds = [](GaugeValueContext&, float) { return damageBelow(host::kBatteryOffset, 0.833f); },
     .preview = [](PreviewCarValues&, double x) { putDamage(host::kBatteryOffset, f(x) != 0.0f ? 0.5f : 1.0f); }},
    // The player's best run on the stage being driven (panels/BestRun.h),
    // as the frame driver last followed it.
    {.keyword = FT_FN("bestdelta"), .id = kValueBestDelta, .kind = kValue,
     .read = [](GaugeValueContext&) { return bestrun::deltaSeconds(); },
     .unit = FT_FN("seconds against the best run at this distance, minus ahead, 0 without a best"),
     .preview = [](PreviewCarValues&, double x) {
       bestrun::liveValues().delta = f(x);
       bestrun::liveValues().available = true; },
     .previewMeaning = FT_FN("seconds, minus ahead (also makes a best available)")},
    {.keyword = FT_FN("besttime"), .id = kValueBestTime, .kind = kValue,
     .read = [](GaugeValueContext&) { return bestrun::bestStageTime(); },
     .unit = FT_FN("seconds, the best run's stage time, 0 without a best"),
     .preview = [](PreviewCarValues&, double x) {
       bestrun::liveValues().bestTime = f(x);
       bestrun::liveValues().available = x > 0.0; },
     .previewMeaning = FT_FN("seconds (above 0 also makes a best available)")},
    {.keyword = FT_FN("bestavailable"), .id = kValueBestAvailable, .kind = kCondition,
     .holds = [](GaugeValueContext&, float) { return bestrun::bestAvailable(); },
     .preview = [](PreviewCarValues&, double x) { bestrun::liveValues().available = x != 0.0; }},
};

#undef OSTREL_CAR_STATE_VALUE
#undef OSTREL_KILOMETRES
#undef OSTREL_CAR_INPUT

constexpr bool rowsAreWellFormed() {
  GaugeValueId index = 0;
  for (const ValueSource& row : kRows) {
    if (row.id != index++ || !row.keyword) return false;  // valueSource() indexes by id
    if ((row.kind == kCondition) != (row.holds != nullptr)) return false;
    if (row.kind == kCondition && row.read) return false;
    if (row.id != kValueNone && ((row.kind != kCondition && !row.read) || !row.preview)) return false;
  }
  return index == kGaugeValueCount;
}
static_assert(rowsAreWellFormed(), "one row per value id in its order, each complete");

}  // namespace

std::span<const ValueSource> valueSources() { return kRows; }

const ValueSource* valueSource(GaugeValueId id) {
  return id >= 0 && id < kGaugeValueCount ? &kRows[id] : nullptr;
}

GaugeValueId gaugeValueIdFromKeyword(const std::string& keyword) {
  if (keyword.empty()) return kValueNone;
  for (const ValueSource& row : kRows)
    if (row.id != kValueNone && keyword == row.keyword()) return row.id;
  return kValueNone;
}

const char* gaugeValueKeyword(GaugeValueId id) {
  const ValueSource* row = valueSource(id);
  return row ? row->keyword() : "";
}

}  // namespace ostrel::gauges
