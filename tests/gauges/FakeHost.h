#pragma once
// Host records as plain buffers behind host::pointers(), as the gauges find
// them inside the host: CarStateBlock, CarObject with its damage and engine
// records, and the gauge value block with the car slot.
#include <cstdint>
#include <cstring>

#include "HostRecords.h"
#include "panels/HostState.h"

struct FakeHost : testing_support::HostRecords {
  // Only the records the gauges read: the other host pointers (the device
  // among them) stay as the test set them.
  FakeHost() { install(); }
  ~FakeHost() { uninstall(); }

  void install() {
    auto& p = ostrel::host::pointers();
    p.carStateBlock = carState;
    p.carObject = carObject;
    p.gaugeValueBlock = valueBlock;
  }
  static void uninstall() {
    auto& p = ostrel::host::pointers();
    p.carStateBlock = nullptr;
    p.carObject = nullptr;
    p.gaugeValueBlock = nullptr;
  }

  void rpm(float v) { put(carState, 0x10, v); }
  void speed(float v) { put(carState, 0x14, v); }
  void wheelSpeed(float v) { put(carState, 0x0C, v); }
  void gear(std::int32_t g) { put(carState, 0x170, g); }
  void shiftGear(std::int32_t g) { put(carObject, 0x1100, g); }
  void stageTime(float v) { put(carState, 0x140, v); }
  void waterKelvin(float v) { put(engine, 0x23C, v); }
  void oilKelvin(float v) { put(engine, 0x20, v); }
  void batteryCharge(float v) { put(damage, 0x8C, v); }
  void carSlot(std::uint32_t s) { put(valueBlock, 8, s); }
};
