#include "HostMemory.h"

#include <cstring>

namespace simhost {
namespace {

void writeWord(std::uint8_t* at, std::uint32_t v) { std::memcpy(at, &v, 4); }
void writePointer(std::uint8_t* at, const void* p) {
  writeWord(at, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)));
}

}  // namespace

bool HostMemory::create(void* sectionBegin, void* sectionEnd, std::string& error) {
  base_ = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  auto begin = reinterpret_cast<std::uintptr_t>(sectionBegin);
  auto end = reinterpret_cast<std::uintptr_t>(sectionEnd);
  const std::uintptr_t lowest[] = {base_ + kDeviceChainSlot, kFrameFunctionAddress, kGaugePointFunctionAddress};
  for (std::uintptr_t a : lowest)
    if (a < begin || base_ + kGaugeValueBlock + 0x40 > end) {
      char text[160];
      wsprintfA(text, "host section %08lx..%08lx does not cover %08lx", static_cast<unsigned long>(begin),
                static_cast<unsigned long>(end), static_cast<unsigned long>(a));
      error = text;
      return false;
    }
  // One zeroed allocation for every record, each on its own 4 KiB.
  constexpr std::size_t kPage = 0x1000;
  heap_ = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 16 * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!heap_) {
    error = "cannot allocate the host records";
    return false;
  }
  game_ = heap_;
  screen_ = heap_ + 1 * kPage;
  carState_ = heap_ + 2 * kPage;
  eventLink_ = heap_ + 3 * kPage;
  eventCode_ = heap_ + 3 * kPage + 0x100;
  pause_ = heap_ + 4 * kPage;
  carObject_ = heap_ + 5 * kPage;  // two pages
  damage_ = heap_ + 7 * kPage;
  damageExtra_ = heap_ + 8 * kPage;
  engine_ = heap_ + 9 * kPage;
  deviceOuter_ = heap_ + 10 * kPage;
  deviceInner_ = heap_ + 11 * kPage;

  writePointer(game_ + 0x5C, screen_);
  writeWord(screen_ + 0x14, kHostScreenWidth);
  writeWord(screen_ + 0xB8, kHostScreenWidth);
  // CarStateBlock +0x758 -> object, its +0x10 -> the event code.
  writePointer(carState_ + 0x758, eventLink_);
  writePointer(eventLink_ + 0x10, eventCode_);
  writePointer(carObject_ + 0x620, damage_);
  writePointer(carObject_ + 0x698, engine_);
  // Intact car: the health fractions at 1.0, presence and flag words set;
  // wear and deformation words stay 0.
  for (int w : {0, 2, 4, 33, 35, 60}) {
    float one = 1.0f;
    std::memcpy(damage_ + 4 * w, &one, 4);
  }
  for (int w = 18; w <= 27; ++w) {
    float one = 1.0f;
    std::memcpy(damage_ + 4 * w, &one, 4);
  }
  {
    float one = 1.0f;
    std::memcpy(damage_ + 4 * 34, &one, 4);
  }
  for (int w : {1, 3, 5, 6, 7, 9, 10, 12, 13, 15, 16, 30, 31, 32, 36, 55, 122, 219, 220, 222, 223, 225, 226,
                229, 230, 235, 236, 237, 238, 239, 240, 241, 242, 243})
    writeWord(damage_ + 4 * w, 1);
  auto* b = reinterpret_cast<std::uint8_t*>(base_);
  writePointer(b + kGameStateSlot, game_);
  writePointer(b + kPauseSlot, pause_);
  writePointer(b + kCarStateSlot, carState_);
  writePointer(b + kCarObjectSlot, carObject_);
  writePointer(b + kDeviceChainSlot, deviceOuter_);
  writePointer(deviceOuter_ + 0x28, deviceInner_);
  return true;
}

void HostMemory::setDevice(IDirect3DDevice9* device) { writePointer(deviceInner_ + 0xF4, device); }

bool HostMemory::writeStub(std::uintptr_t address, void* function, std::string& error) {
  auto* at = reinterpret_cast<std::uint8_t*>(address);
  DWORD old = 0;
  if (!VirtualProtect(at, 16, PAGE_EXECUTE_READWRITE, &old)) {
    error = "cannot make the host function stub executable";
    return false;
  }
  // push ebp; mov ebp,esp; pop ebp; nop; push imm32; ret: whole instructions
  // and no relative branch at the start, as a compiled function begins.
  const std::uint8_t prologue[] = {0x55, 0x8B, 0xEC, 0x5D, 0x90, 0x68};
  std::memcpy(at, prologue, sizeof prologue);
  writePointer(at + 6, function);
  at[10] = 0xC3;
  FlushInstructionCache(GetCurrentProcess(), at, 16);
  return true;
}

std::uint8_t* HostMemory::record(Block b) const {
  switch (b) {
    case Block::Game: return game_;
    case Block::Screen: return screen_;
    case Block::CarState: return carState_;
    case Block::EventCode: return eventCode_;
    case Block::Pause: return pause_;
    case Block::CarObject: return carObject_;
    case Block::Damage: return damage_;
    case Block::DamageExtra: return damageExtra_;
    case Block::Engine: return engine_;
    case Block::GaugeBlock: return reinterpret_cast<std::uint8_t*>(base_ + kGaugeValueBlock);
  }
  return nullptr;
}

void HostMemory::apply(const Poke& poke) {
  std::uint8_t* at = record(poke.block) + poke.offset;
  if (poke.isFloat) std::memcpy(at, &poke.f, 4);
  else std::memcpy(at, &poke.i, 4);
}

void HostMemory::setCarPresent(bool present) {
  writePointer(reinterpret_cast<std::uint8_t*>(base_) + kCarObjectSlot, present ? carObject_ : nullptr);
}

void HostMemory::setDamageExtraPresent(bool present) {
  writePointer(damage_ + 290 * 4, present ? damageExtra_ : nullptr);
}

std::uint32_t HostMemory::screenWord(std::uint32_t offset) const {
  std::uint32_t v;
  std::memcpy(&v, screen_ + offset, 4);
  return v;
}

}  // namespace simhost
