#pragma once
// Host records as plain buffers behind host::pointers(), as the gauges find
// them inside the host: CarStateBlock, CarObject with its damage and engine
// records, and the gauge value block with the car slot.
#include <cstdint>
#include <cstring>
#include <vector>

#include "panels/HostState.h"

struct FakeHost {
  std::vector<std::uint8_t> carState = std::vector<std::uint8_t>(0x800);
  std::vector<std::uint8_t> carObject = std::vector<std::uint8_t>(0x1200);
  std::vector<std::uint8_t> damage = std::vector<std::uint8_t>(0x200);
  std::vector<std::uint8_t> engine = std::vector<std::uint8_t>(0x300);
  std::vector<std::uint8_t> valueBlock = std::vector<std::uint8_t>(16);

  FakeHost() { install(); }
  ~FakeHost() { uninstall(); }

  void install() {
    auto& p = ostrel::host::pointers();
    p.carStateBlock = carState.data();
    p.carObject = carObject.data();
    p.gaugeValueBlock = valueBlock.data();
    setPtr(carObject, ostrel::host::kDamageBlockOffset, damage.data());
    setPtr(carObject, ostrel::host::kEngineRecordOffset, engine.data());
  }
  static void uninstall() {
    auto& p = ostrel::host::pointers();
    p.carStateBlock = nullptr;
    p.carObject = nullptr;
    p.gaugeValueBlock = nullptr;
  }

  template <typename T>
  static void put(std::vector<std::uint8_t>& block, std::uint32_t offset, T value) {
    std::memcpy(block.data() + offset, &value, sizeof value);
  }
  static void setPtr(std::vector<std::uint8_t>& block, std::uint32_t offset, void* value) {
    const auto v = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
    std::memcpy(block.data() + offset, &v, sizeof v);
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
