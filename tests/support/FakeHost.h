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
  void rpm(float v) { put(carState, 0x10, v); }
  void speed(float v) { put(carState, 0x14, v); }
  void wheelSpeed(float v) { put(carState, 0x0C, v); }
  void gear(std::int32_t g) { put(carState, 0x170, g); }
  void shiftGear(std::int32_t g) { put(carObject, 0x1100, g); }
  void stageTime(float v) { put(carState, 0x140, v); }
  // The distance word that counts down from the stage's length.
  void distance3(float v) { put(carState, 0x28, v); }
  void waterKelvin(float v) { put(engine, 0x23C, v); }
  void oilKelvin(float v) { put(engine, 0x20, v); }
  void batteryCharge(float v) { put(damage, 0x8C, v); }
  void carSlot(std::uint32_t s) { put(valueBlock, 8, s); }

  // The game state and damage record the panels read.
  void intactCar() { writeIntactDamageWords(damage); }
  void noCar() { ostrel::host::pointers().carObject = nullptr; }
  void setF(int word, float v) { put(damage, 4 * word, v); }
  void setI(int word, std::int32_t v) { put(damage, 4 * word, v); }
  void setPointerWord(int word, const void* p) { putAddress(damage, 4 * word, p); }
  void mode(std::int32_t m) { put(gameState, 0x728, m); }
  void preStart(float t) { put(carState, 0x244, t); }
  void finished(std::int32_t f) { put(carState, 0x144, f); }
  void clock(float s) { put(carState, 0x15C, s); }
  void eventFlag(std::int32_t f) { put(carState, 0x274, f); }
  void eventCode(std::int32_t c) { eventCodeWord = c; }
  void paused(std::int32_t p) { put(pause, 0x10, p); }
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
