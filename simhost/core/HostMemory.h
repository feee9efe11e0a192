#pragma once
// The host's game state in memory, where the plug-in expects it: pointer
// slots inside the executable's big zero-filled section, the records on the
// heap, and entry stubs at the two absolute function addresses.
#include <windows.h>

#include <cstdint>
#include <string>

#include "HostMap.h"
#include "Scenario.h"

struct IDirect3DDevice9;

namespace simhost {

// The width the host keeps in its screen-width words; the plug-in may change
// them only while it draws.
inline constexpr std::uint32_t kHostScreenWidth = 1024;

class HostMemory {
 public:
  HostMemory() = default;
  HostMemory(const HostMemory&) = delete;
  HostMemory& operator=(const HostMemory&) = delete;
  // Frees the records only when they were made by createRecords alone: a
  // host's records stay for the plug-in to the end of the process.
  ~HostMemory();

  // The records and the pointer slots in the executable. Fails with a
  // message when the executable's section does not cover the locations of
  // HostMap.h.
  bool create(void* sectionBegin, void* sectionEnd, std::string& error);
  // The records alone, linked to each other, the gauge value block among
  // them, and no pointer slot (a test program has no host executable): what
  // writes a slot (setCarPresent, setDeviceChain) needs create().
  bool createRecords(std::string& error);
  std::uint8_t* record(Block b) const;
  void setDevice(IDirect3DDevice9* device);
  // Writes a stub at `address` that enters `function` (absolute push/ret).
  bool writeStub(std::uintptr_t address, void* function, std::string& error);
  // The same stub behind a leading short jump: it runs as before, but its
  // first instruction ends the code before a 5-byte patch is covered, so a
  // detour cannot be installed over it.
  bool writeUndetourableStub(std::uintptr_t address, void* function, std::string& error);
  // The entry a stub written here (or by the texture utility module) enters.
  static void* stubTarget(std::uintptr_t address);

  void apply(const Poke& poke);
  void setCarPresent(bool present);
  void setDamageExtraPresent(bool present);
  void setDamageRecordPresent(bool present);
  void setEngineRecordPresent(bool present);
  // Breaks the chain to the device at one link: "null-outer" (the slot),
  // "null-inner" (+0x28) or "null-device" (+0xF4); "present" keeps it whole.
  bool setDeviceChain(const std::string& form, IDirect3DDevice9* device);

  std::uintptr_t base() const { return base_; }
  std::uint32_t screenWord(std::uint32_t offset) const;
  // The game state the phase of a frame is told from.
  std::int32_t gameMode() const;
  float preStartTimer() const;
  std::int32_t finishedFlag() const;

 private:
  std::uintptr_t base_ = 0;
  bool ownsRecords_ = false;
  std::uint8_t* heap_ = nullptr;
  std::uint8_t* gaugeBlock_ = nullptr;
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
