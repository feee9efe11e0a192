#pragma once
// The value sources a gauge can show, by the keyword a definition file names.
// Each id is one row of the value-source table (gauges/ValueSources.h), in
// this order. Windows-free.
#include <cstdint>
#include <string>

namespace ostrel::gauges {

using GaugeValueId = std::int32_t;

enum : GaugeValueId {
  kValueNone,
  kValueSpeed,
  kValueRpmPercent,
  kValueRpm,
  kValueWheelSpeed,
  kValueGroundSpeed,
  kValueWheelSpin,
  kValueWheelLock,
  kValueWaterTemp,
  kValueOilTemp,
  kValueOilPressurePsi,
  kValueOilPressureBar,
  kValueStageTime,
  kValueStageTimeMinutes,
  kValueStageTimeSeconds,
  kValueDistance1Km,
  kValueDistance2Km,
  kValueDistance3Km,
  kValueDistance1,
  kValueDistance2,
  kValueDistance3,
  kValueDistanceDrivenKm,
  kValueDistanceDriven,
  kValueBoostBar,
  kValueBoostPsi,
  kValueBatteryVolts,
  kValueTimeOfDay,
  kValueClockHours,
  kValueClockMinutes,
  kValueClockSeconds,
  kValueCarInput1,
  kValueCarInput2,
  kValueCarInput3,
  kValueCarInput4,
  kValueCarInput5,
  kValueShiftUp,
  kValueShiftDown,
  kValueBoostFlagOn,
  kValueBoostFlagOff,
  kValueCarInput4On,
  kValueDamageWarning,
  kValueOverheat,
  kValueOverspeed,
  kValueBatteryLow,
  kValueBestDelta,
  kValueBestTime,
  kValueBestAvailable,
  kGaugeValueCount,  // not an id: the number of rows
};

// Id of a lower-case keyword; an empty or unknown keyword gives 0.
GaugeValueId gaugeValueIdFromKeyword(const std::string& keyword);
// The keyword of an id ("" outside the table).
const char* gaugeValueKeyword(GaugeValueId id);

}  // namespace ostrel::gauges
