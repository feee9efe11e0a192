#pragma once
// The host's records (HostRecords) with the car values the tests set by name.
// Two set-ups: GaugeHost links only the records the gauges read for its
// lifetime; PanelHost is an intact car without an engine record, linked by
// install() (the panels read no engine).
#include <cstdint>

#include "HostRecords.h"
#include "IntactCar.h"
#include "panels/HostState.h"

namespace testing_support {

struct FakeHost : HostRecords {
  // The car state, car object and engine values the gauges read.
  void rpm(float v) { put(carState, ostrel::host::kEngineSpeedOffset, v); }
  void speed(float v) { put(carState, ostrel::host::kSpeedOffset, v); }
  void wheelSpeed(float v) { put(carState, ostrel::host::kWheelSpeedOffset, v); }
  void gear(std::int32_t g) { put(carState, ostrel::host::kGearOffset, g); }
  void shiftGear(std::int32_t g) { put(carObject, ostrel::host::kShiftGearOffset, g); }
  void stageTime(float v) { put(carState, ostrel::host::kStageTimeOffset, v); }
  // The distance word that counts down from the stage's length.
  void distance3(float v) { put(carState, ostrel::host::kDistance3Offset, v); }
  void waterKelvin(float v) { put(engine, ostrel::host::kWaterTempOffset, v); }
  void oilKelvin(float v) { put(engine, ostrel::host::kOilTempOffset, v); }
  void batteryCharge(float v) { put(damage, ostrel::host::kBatteryOffset, v); }
  void carSlot(std::uint32_t s) { put(valueBlock, ostrel::host::kCarSlotOffset, s); }

  // The game state and damage record the panels read.
  void intactCar() { writeIntactDamageWords(damage); }
  void noCar() { ostrel::host::pointers().carObject = nullptr; }
  void setF(int word, float v) { put(damage, 4 * word, v); }
  void setI(int word, std::int32_t v) { put(damage, 4 * word, v); }
  void setPointerWord(int word, const void* p) { putAddress(damage, 4 * word, p); }
  void mode(std::int32_t m) { put(gameState, ostrel::host::kGameModeOffset, m); }
  void preStart(float t) { put(carState, ostrel::host::kPreStartTimerOffset, t); }
  void finished(std::int32_t f) { put(carState, ostrel::host::kFinishedFlagOffset, f); }
  void clock(float s) { put(carState, ostrel::host::kHostClockOffset, s); }
  void eventFlag(std::int32_t f) { put(carState, ostrel::host::kEventFlagOffset, f); }
  void eventCode(std::int32_t c) { eventCodeWord = c; }
  void paused(std::int32_t p) { put(pause, ostrel::host::kPauseWordOffset, p); }
};

// Only the records the gauges read: the other host pointers (the device among
// them) stay as the test set them.
struct GaugeHost : FakeHost {
  GaugeHost() { link(); }
  ~GaugeHost() { unlink(); }
  void link() {
    auto& p = ostrel::host::pointers();
    p.carStateBlock = carState;
    p.carObject = carObject;
    p.gaugeValueBlock = valueBlock;
  }
  static void unlink() {
    auto& p = ostrel::host::pointers();
    p.carStateBlock = nullptr;
    p.carObject = nullptr;
    p.gaugeValueBlock = nullptr;
  }
};

// An intact car, no engine record.
struct PanelHost : FakeHost {
  PanelHost() {
    putAddress(carObject, ostrel::host::kEngineRecordOffset, nullptr);
    intactCar();
  }
};

}  // namespace testing_support
