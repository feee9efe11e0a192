#include "gauges/GaugeValues.h"

#include <cmath>

#include "gauges/GaugeMath.h"
#include "panels/HostState.h"

namespace ostrel::gauges {
namespace {

using host::field;

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
std::int32_t currentGear() {
  const auto* c = carObject();
  return c ? field<std::int32_t>(c, host::kShiftGearOffset) : -1;
}

float engineSpeed() { return takenAbove(carStateFloat(host::kEngineSpeedOffset)); }
float wheelSpeed() { return takenAbove(carStateFloat(host::kWheelSpeedOffset)); }
float ground() { return groundSpeed(carObjectFloat(host::kGroundSpeedAOffset), carObjectFloat(host::kGroundSpeedBOffset)); }

float boostBar() { return carStateInt(host::kBoostFlagOffset) != 0 ? carStateFloat(host::kBoostOffset) / 100000.0f : 0.0f; }

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

}  // namespace

float readValue(GaugeValueContext& context, GaugeValueId id) {
  switch (id) {
    case 1: return carStateFloat(host::kSpeedOffset);
    case 2: return rpmPercent(engineSpeed(), context.maxRpm);
    case 3: return engineSpeed();
    case 4: return wheelSpeed();
    case 5: return ground();
    case 6: return carObject() ? wheelSpin(wheelSpeed(), ground()) : 0.0f;
    case 7: return carObject() ? wheelLock(wheelSpeed(), ground()) : 0.0f;
    case 8:
    case 9: {
      const auto* e = host::engineRecord();
      return e ? field<float>(e, id == 8 ? host::kWaterTempOffset : host::kOilTempOffset) - 273.15f : 0.0f;
    }
    case 10:
    case 11: {
      const auto* e = host::engineRecord();
      if (!e) return 0.0f;
      const float bar = pressureBar(field<float>(e, host::kOilPressureAOffset), field<float>(e, host::kOilPressureBOffset));
      return id == 10 ? bar * 14.5037f : bar;
    }
    case 12: return stageTime();
    case 13: return stageTime() / 60.0f;
    case 14: return std::fmod(stageTime(), 60.0f);
    case 15: return kilometres(carStateFloat(host::kDistance1Offset));
    case 16: return kilometres(carStateFloat(host::kDistance2Offset));
    case 17: return kilometres(carStateFloat(host::kDistance3Offset));
    case 18: return carStateFloat(host::kDistance1Offset);
    case 19: return carStateFloat(host::kDistance2Offset);
    case 20: return carStateFloat(host::kDistance3Offset);
    case 21: return kilometres(drivenSinceStart(context));
    case 22: return drivenSinceStart(context);
    case 23: return boostBar();
    case 24: return boostBar() * 14.5037f;
    case 25: {
      if (!carState()) return 0.0f;
      if (carStateInt(host::kBoostFlagOffset) != 0) return 14.5f;
      const auto* d = host::damageBlock();
      return d ? field<float>(d, host::kBatteryOffset) * 2.4f + 10.4f : 0.0f;
    }
    case 26: {
      const std::tm& t = context.localClock();
      return static_cast<float>(t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec);
    }
    case 27: return static_cast<float>(context.localClock().tm_hour);
    case 28: return static_cast<float>(context.localClock().tm_min);
    case 29: return static_cast<float>(context.localClock().tm_sec);
    case 30: return carObjectFloat(host::kCarInput1Offset);
    case 31: return carObjectFloat(host::kCarInput2Offset);
    case 32: return carObjectFloat(host::kCarInput3Offset);
    case 33: return carObjectFloat(host::kCarInput4Offset);
    case 34: return carObjectFloat(host::kCarInput5Offset);
    default: return 0.0f;
  }
}

float readFraction(GaugeValueContext& context, GaugeValueId id, float min, float max) {
  if (id == kValueShiftUp)
    return shiftUpFraction(context.upshiftAt(currentGear()), engineSpeed(), min, max);
  if (id == kValueShiftDown)
    return shiftDownFraction(context.downshiftAt(currentGear()), engineSpeed(), min, max);
  return fractionBetween(readValue(context, id), min, max);
}

std::int32_t readGearIndex() {
  const auto* c = carState();
  return c ? field<std::int32_t>(c, host::kGearOffset) : -1;
}

std::int32_t carSlot() {
  const std::uint8_t* block = host::pointers().gaugeValueBlock;
  const std::uint32_t slot = block ? field<std::uint32_t>(block, host::kCarSlotOffset) : 0;
  return slot <= 7 ? static_cast<std::int32_t>(slot) : 0;
}

bool testCondition(GaugeValueContext& context, GaugeValueId id, float threshold) {
  switch (id) {
    case 2:
    case 3:
    case 6:
    case 7:
    case 23:
    case 24: return readValue(context, id) > threshold;
    case 35: {
      const float base = context.upshiftAt(currentGear());
      return base != 0.0f && engineSpeed() > base + threshold;
    }
    case 36: {
      const float base = context.downshiftAt(currentGear());
      return base != 0.0f && base + threshold > engineSpeed();
    }
    case 37: return carState() && carStateInt(host::kBoostFlagOffset) != 0;
    case 38: return carState() && carStateInt(host::kBoostFlagOffset) == 0;
    case 39: return carObject() && carObjectFloat(host::kCarInput4Offset) > 0.1f;
    case 40: {
      const auto* d = host::damageBlock();
      return d && 0.8f > field<float>(d, host::kDamageWarningOffset);
    }
    case 41: {
      const auto* e = host::engineRecord();
      return e && field<float>(e, host::kWaterTempOffset) - 273.15f > 140.0f;
    }
    case 42: return carState() && carStateFloat(host::kSpeedOffset) > 120.0f;
    case 43: {
      const auto* d = host::damageBlock();
      return d && 0.833f > field<float>(d, host::kBatteryOffset);
    }
    default: return false;
  }
}

}  // namespace ostrel::gauges
