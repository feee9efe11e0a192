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
  return c ? field<std::int32_t>(c, 0x1100) : -1;
}

float engineSpeed() { return takenAbove(carStateFloat(0x10)); }
float wheelSpeed() { return takenAbove(carStateFloat(0x0C)); }
float ground() { return groundSpeed(carObjectFloat(0x1C0), carObjectFloat(0x1C4)); }

float boostBar() { return carStateInt(0x2B8) != 0 ? carStateFloat(0x18) / 100000.0f : 0.0f; }

float stageTime() { return std::fmax(0.0f, carStateFloat(0x140)); }

float drivenSinceStart(GaugeValueContext& context) {
  const auto* c = carState();
  if (!c) return 0.0f;
  const float current = field<float>(c, 0x28);
  if (!context.startCaptured) {
    context.startCaptured = true;
    context.startValue = current;
  }
  return context.startValue - current;
}

}  // namespace

float readValue(GaugeValueContext& context, GaugeValueId id) {
  switch (id) {
    case 1: return carStateFloat(0x14);
    case 2: return rpmPercent(engineSpeed(), context.maxRpm);
    case 3: return engineSpeed();
    case 4: return wheelSpeed();
    case 5: return ground();
    case 6: return carObject() ? wheelSpin(wheelSpeed(), ground()) : 0.0f;
    case 7: return carObject() ? wheelLock(wheelSpeed(), ground()) : 0.0f;
    case 8:
    case 9: {
      const auto* e = host::engineRecord();
      return e ? field<float>(e, id == 8 ? 0x23C : 0x20) - 273.15f : 0.0f;
    }
    case 10:
    case 11: {
      const auto* e = host::engineRecord();
      if (!e) return 0.0f;
      const float bar = pressureBar(field<float>(e, 0x24C), field<float>(e, 0x25C));
      return id == 10 ? bar * 14.5037f : bar;
    }
    case 12: return stageTime();
    case 13: return stageTime() / 60.0f;
    case 14: return std::fmod(stageTime(), 60.0f);
    case 15: return kilometres(carStateFloat(0x20));
    case 16: return kilometres(carStateFloat(0x24));
    case 17: return kilometres(carStateFloat(0x28));
    case 18: return carStateFloat(0x20);
    case 19: return carStateFloat(0x24);
    case 20: return carStateFloat(0x28);
    case 21: return kilometres(drivenSinceStart(context));
    case 22: return drivenSinceStart(context);
    case 23: return boostBar();
    case 24: return boostBar() * 14.5037f;
    case 25: {
      if (!carState()) return 0.0f;
      if (carStateInt(0x2B8) != 0) return 14.5f;
      const auto* d = host::damageBlock();
      return d ? field<float>(d, 0x8C) * 2.4f + 10.4f : 0.0f;
    }
    case 26: {
      const std::tm& t = context.localClock();
      return static_cast<float>(t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec);
    }
    case 27: return static_cast<float>(context.localClock().tm_hour);
    case 28: return static_cast<float>(context.localClock().tm_min);
    case 29: return static_cast<float>(context.localClock().tm_sec);
    case 30: return carObjectFloat(0x85C);
    case 31: return carObjectFloat(0x860);
    case 32: return carObjectFloat(0x86C);
    case 33: return carObjectFloat(0x864);
    case 34: return carObjectFloat(0x868);
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
    case 37: return carState() && carStateInt(0x2B8) != 0;
    case 38: return carState() && carStateInt(0x2B8) == 0;
    case 39: return carObject() && carObjectFloat(0x864) > 0.1f;
    case 40: {
      const auto* d = host::damageBlock();
      return d && 0.8f > field<float>(d, 0xEC);
    }
    case 41: {
      const auto* e = host::engineRecord();
      return e && field<float>(e, 0x23C) - 273.15f > 140.0f;
    }
    case 42: return carState() && carStateFloat(0x14) > 120.0f;
    case 43: {
      const auto* d = host::damageBlock();
      return d && 0.833f > field<float>(d, 0x8C);
    }
    default: return false;
  }
}

}  // namespace ostrel::gauges
