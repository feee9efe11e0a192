#pragma once
// The value sources a gauge can show, by the keyword a definition file names.
// Windows-free.
#include <cstdint>
#include <string>

namespace ostrel::gauges {

using GaugeValueId = std::int32_t;
inline constexpr int kGaugeValueCount = 44;

// Some ids by name, where code treats them specially.
enum : GaugeValueId {
  kValueNone = 0,
  kValueSpeed = 1,
  kValueRpmPercent = 2,
  kValueRpm = 3,
  kValueWheelSpeed = 4,
  kValueGroundSpeed = 5,
  kValueWaterTemp = 8,
  kValueOilTemp = 9,
  kValueOilPressureBar = 11,
  kValueStageTime = 12,
  kValueDistanceDrivenKm = 21,
  kValueDistanceDriven = 22,
  kValueBoostBar = 23,
  kValueShiftUp = 35,
  kValueShiftDown = 36,
  kValueBoostFlagOn = 37,
  kValueOverheat = 41,
  kValueBatteryLow = 43,
};

// Id of a lower-case keyword; an empty or unknown keyword gives 0.
GaugeValueId gaugeValueIdFromKeyword(const std::string& keyword);
// The keyword of an id ("" outside 0..43).
const char* gaugeValueKeyword(GaugeValueId id);

}  // namespace ostrel::gauges
