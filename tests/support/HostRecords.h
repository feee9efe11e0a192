#pragma once
// The host's records as plain buffers, linked to each other as the host links
// them (the car state's event link, the car object's damage and engine
// records), for tests that run the plug-in's code outside a host. Each test
// area adds the car it needs on top.
#include <cstdint>
#include <cstring>

#include "panels/HostState.h"

struct IDirect3DDevice9;

namespace testing_support {

struct HostRecords {
  alignas(8) std::uint8_t gameState[ostrel::host::kGameStateBlockSize]{};
  alignas(8) std::uint8_t carState[ostrel::host::kCarStateBlockSize]{};
  alignas(8) std::uint8_t pause[ostrel::host::kPauseBlockSize]{};
  alignas(8) std::uint8_t carObject[ostrel::host::kCarObjectSize]{};
  alignas(8) std::uint8_t damage[ostrel::host::kDamageRecordSize]{};
  alignas(8) std::uint8_t engine[ostrel::host::kEngineRecordSize]{};
  alignas(8) std::uint8_t eventLink[ostrel::host::kEventRecordSize]{};
  alignas(8) std::uint8_t valueBlock[ostrel::host::kGaugeValueBlockSize]{};
  std::int32_t eventCodeWord = 0;

  HostRecords() {
    using namespace ostrel::host;
    putAddress(carState, kEventRecordOffset, eventLink);
    putAddress(eventLink, kEventCodeSlot, &eventCodeWord);
    putAddress(carObject, kDamageBlockOffset, damage);
    putAddress(carObject, kEngineRecordOffset, engine);
  }
  HostRecords(const HostRecords&) = delete;
  HostRecords& operator=(const HostRecords&) = delete;

  // Every host pointer at these records, with `device` as the host's device.
  void install(IDirect3DDevice9* device = nullptr) {
    auto& p = ostrel::host::pointers();
    p = {};
    p.gameStateBlock = gameState;
    p.carStateBlock = carState;
    p.pauseBlock = pause;
    p.carObject = carObject;
    p.gaugeValueBlock = valueBlock;
    p.device = device;
  }

  template <typename T>
  static void put(std::uint8_t* block, std::uint32_t offset, T value) {
    std::memcpy(block + offset, &value, sizeof value);
  }
  // A 32-bit host address, as the host stores its links.
  static void putAddress(std::uint8_t* block, std::uint32_t offset, const void* to) {
    put(block, offset, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(to)));
  }
};

}  // namespace testing_support
