#pragma once
// The host's game state in memory, where the plug-in expects it: pointer
// slots inside the executable's big zero-filled section, the records on the
// heap, and entry stubs at the two absolute function addresses.
#include <windows.h>

#include <cstdint>
#include <string>

#include "Scenario.h"

struct IDirect3DDevice9;

namespace simhost {

// Locations in the host executable, from its base.
inline constexpr std::uint32_t kGameStateSlot = 0x3EAC48;
inline constexpr std::uint32_t kPauseSlot = 0x493634;
inline constexpr std::uint32_t kCarStateSlot = 0x125FC68;
inline constexpr std::uint32_t kGaugeValueBlock = 0x1260800;
inline constexpr std::uint32_t kDeviceChainSlot = 0x3EA990;
inline constexpr std::uint32_t kCarObjectSlot = 0x4EF660;
inline constexpr std::uintptr_t kFrameFunctionAddress = 0x40E890;
inline constexpr std::uintptr_t kGaugePointFunctionAddress = 0x4BF720;
inline constexpr std::uint32_t kTextureFunctionOffset = 0xAEC15;
// The width the host keeps in its screen-width words; the plug-in may change
// them only while it draws.
inline constexpr std::uint32_t kHostScreenWidth = 1024;

class HostMemory {
 public:
  // Fails with a message when the executable's section does not cover the
  // locations above.
  bool create(void* sectionBegin, void* sectionEnd, std::string& error);
  void setDevice(IDirect3DDevice9* device);
  // Writes a stub at `address` that enters `function` (absolute push/ret).
  bool writeStub(std::uintptr_t address, void* function, std::string& error);

  void apply(const Poke& poke);
  void setCarPresent(bool present);
  void setDamageExtraPresent(bool present);

  std::uintptr_t base() const { return base_; }
  std::uint32_t screenWord(std::uint32_t offset) const;

 private:
  std::uint8_t* record(Block b) const;
  void setSlot(std::uint32_t offset, const void* value);

  std::uintptr_t base_ = 0;
  std::uint8_t* heap_ = nullptr;
  std::uint8_t* game_ = nullptr;
  std::uint8_t* screen_ = nullptr;
  std::uint8_t* carState_ = nullptr;
  std::uint8_t* eventLink_ = nullptr;
  std::uint8_t* eventCode_ = nullptr;
  std::uint8_t* pause_ = nullptr;
  std::uint8_t* carObject_ = nullptr;
  std::uint8_t* damage_ = nullptr;
  std::uint8_t* damageExtra_ = nullptr;
  std::uint8_t* engine_ = nullptr;
  std::uint8_t* deviceOuter_ = nullptr;
  std::uint8_t* deviceInner_ = nullptr;
};

}  // namespace simhost
