#include "telemetry/CarSampler.h"

#include <string>

#include "gauges/CarDataFile.h"
#include "gauges/GaugeValueId.h"
#include "gauges/GaugeValues.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel::telemetry {
namespace {

using namespace gauges;

constexpr float kKmhToMs = 1.0f / 3.6f;

}  // namespace

void CarSampler::beginStage(float fallbackMaxRpm, float idleRpm) {
  context_ = GaugeValueContext{};
  loadCarData(context_);
  idleRpm_ = idleRpm;
  maxRpm_ = context_.maxRpm > 0.0f ? context_.maxRpm : fallbackMaxRpm;
  const std::int32_t slot = carSlot();
  const std::uint32_t bit = 1u << (slot & 7);
  if (!(context_.maxRpm > 0.0f) && !(carsToldNoMaximum_ & bit)) {
    carsToldNoMaximum_ |= bit;
    logText(std::string(FT("Telemetry: car ")) + std::to_string(slot + 1) +
            FT("'s data file gives no maximum engine speed; sending MaxRpm=") +
            std::to_string(static_cast<int>(fallbackMaxRpm)));
  }
}

CarSample CarSampler::sample(float runTime) {
  CarSample car;
  car.runTime = runTime;
  car.stageTime = readValue(context_, kValueStageTime);
  car.driven = readValue(context_, kValueDistanceDriven);
  // "driven" counts down from the distance left at the start: that is the
  // stage's length.
  car.stageLength = context_.startCaptured && context_.startValue > 0.0f ? context_.startValue : 0.0f;
  car.speed = readValue(context_, kValueSpeed) * kKmhToMs;
  car.wheelSpeed = readValue(context_, kValueWheelSpeed) * kKmhToMs;
  car.engineSpeed = readValue(context_, kValueRpm);
  car.maxEngineSpeed = maxRpm_;
  car.idleEngineSpeed = idleRpm_;
  car.gearIndex = readGearIndex();
  car.waterTemp = readValue(context_, kValueWaterTemp);
  car.oilTemp = readValue(context_, kValueOilTemp);
  car.oilPressure = readValue(context_, kValueOilPressureBar);
  car.boost = readValue(context_, kValueBoostBar);
  car.turboPresent = testCondition(context_, kValueBoostFlagOn, 0.0f);
  car.shiftLight = testCondition(context_, kValueShiftUp, 0.0f);
  car.batteryWarning = testCondition(context_, kValueBatteryLow, 0.0f);
  car.overheat = testCondition(context_, kValueOverheat, 0.0f);
  car.carSlot = carSlot();
  context_.endFrame();
  return car;
}

}  // namespace ostrel::telemetry
