#include "HostMemory.h"

#include <cstring>

namespace simhost {
namespace {

void writeWord(std::uint8_t* at, std::uint32_t v) { std::memcpy(at, &v, 4); }
void writePointer(std::uint8_t* at, const void* p) {
  writeWord(at, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)));
}

}  // namespace

HostMemory::~HostMemory() {
  if (ownsRecords_ && heap_) VirtualFree(heap_, 0, MEM_RELEASE);
}

bool HostMemory::create(void* sectionBegin, void* sectionEnd, std::string& error) {
  base_ = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
  auto begin = reinterpret_cast<std::uintptr_t>(sectionBegin);
  auto end = reinterpret_cast<std::uintptr_t>(sectionEnd);
  const std::uintptr_t lowest[] = {base_ + kDeviceChainSlot, kFrameFunctionAddress, kGaugePointFunctionAddress};
  for (std::uintptr_t a : lowest)
    if (a < begin || base_ + kGaugeValueBlock + kGaugeValueBlockSize > end) {
      char text[160];
      wsprintfA(text, "host section %08lx..%08lx does not cover %08lx", static_cast<unsigned long>(begin),
                static_cast<unsigned long>(end), static_cast<unsigned long>(a));
      error = text;
      return false;
    }
  if (!createRecords(error)) return false;
  ownsRecords_ = false;
  gaugeBlock_ = reinterpret_cast<std::uint8_t*>(base_ + kGaugeValueBlock);
  auto* b = reinterpret_cast<std::uint8_t*>(base_);
  writePointer(b + kGameStateSlot, game_);
  writePointer(b + kPauseSlot, pause_);
  writePointer(b + kCarStateSlot, carState_);
  writePointer(b + kCarObjectSlot, carObject_);
  writePointer(b + kDeviceChainSlot, deviceOuter_);
  return true;
}

bool HostMemory::createRecords(std::string& error) {
  // One zeroed allocation for every record, each on its own 4 KiB.
  constexpr std::size_t kPage = 0x1000, kEventCodeAt = 0x100;
  static_assert(kGameRecordSize <= kPage && kScreenRecordSize <= kPage && kCarStateRecordSize <= kPage &&
                kEventLinkRecordSize <= kEventCodeAt && kPauseRecordSize <= kPage && kCarObjectRecordSize <= 2 * kPage &&
                kDamageRecordSize <= kPage && kDamageExtraRecordSize <= kPage && kEngineRecordSize <= kPage &&
                kGaugeValueBlockSize <= kPage, "a record outgrows its pages");
  heap_ = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 16 * kPage, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!heap_) {
    error = "cannot allocate the host records";
    return false;
  }
  ownsRecords_ = true;
  game_ = heap_;
  screen_ = heap_ + 1 * kPage;
  carState_ = heap_ + 2 * kPage;
  eventLink_ = heap_ + 3 * kPage;
  eventCode_ = heap_ + 3 * kPage + kEventCodeAt;
  pause_ = heap_ + 4 * kPage;
  carObject_ = heap_ + 5 * kPage;  // two pages
  damage_ = heap_ + 7 * kPage;
  damageExtra_ = heap_ + 8 * kPage;
  engine_ = heap_ + 9 * kPage;
  deviceOuter_ = heap_ + 10 * kPage;
  deviceInner_ = heap_ + 11 * kPage;
  gaugeBlock_ = heap_ + 12 * kPage;  // in the executable once create() has one

  writePointer(game_ + kGameScreenLink, screen_);
  writeWord(screen_ + kScreenWidthWordA, kHostScreenWidth);
  writeWord(screen_ + kScreenWidthWordB, kHostScreenWidth);
  writePointer(carState_ + kCarStateEventLink, eventLink_);
  writePointer(eventLink_ + kEventCodeLink, eventCode_);
  writePointer(carObject_ + kCarDamageLink, damage_);
  writePointer(carObject_ + kCarEngineLink, engine_);
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
  writePointer(deviceOuter_ + kDeviceChainInnerLink, deviceInner_);
  return true;
}

void HostMemory::setDevice(IDirect3DDevice9* device) { writePointer(deviceInner_ + kDeviceChainDeviceLink, device); }

bool HostMemory::writeUndetourableStub(std::uintptr_t address, void* function, std::string& error) {
  auto* at = reinterpret_cast<std::uint8_t*>(address);
  DWORD old = 0;
  if (!VirtualProtect(at, 16, PAGE_EXECUTE_READWRITE, &old)) {
    error = "cannot make the host function stub executable";
    return false;
  }
  // jmp short +0; push imm32; ret
  const std::uint8_t start[] = {0xEB, 0x00, 0x68};
  std::memcpy(at, start, sizeof start);
  writePointer(at + 3, function);
  at[7] = 0xC3;
  FlushInstructionCache(GetCurrentProcess(), at, 16);
  return true;
}

void* HostMemory::stubTarget(std::uintptr_t address) {
  const auto* at = reinterpret_cast<const std::uint8_t*>(address);
  std::uint32_t v = 0;
  if (at[0] == 0x55 && at[5] == 0x68) std::memcpy(&v, at + 6, 4);
  else if (at[0] == 0xEB && at[2] == 0x68) std::memcpy(&v, at + 3, 4);
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(v));
}

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
    case Block::GaugeBlock: return gaugeBlock_;
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
  writePointer(damage_ + kDamageExtraLink, present ? damageExtra_ : nullptr);
}

void HostMemory::setDamageRecordPresent(bool present) {
  writePointer(carObject_ + kCarDamageLink, present ? damage_ : nullptr);
}

void HostMemory::setEngineRecordPresent(bool present) {
  writePointer(carObject_ + kCarEngineLink, present ? engine_ : nullptr);
}

bool HostMemory::setDeviceChain(const std::string& form, IDirect3DDevice9* device) {
  auto* b = reinterpret_cast<std::uint8_t*>(base_);
  writePointer(b + kDeviceChainSlot, deviceOuter_);
  writePointer(deviceOuter_ + kDeviceChainInnerLink, deviceInner_);
  writePointer(deviceInner_ + kDeviceChainDeviceLink, device);
  if (form == "present") return true;
  if (form == "null-outer") writePointer(b + kDeviceChainSlot, nullptr);
  else if (form == "null-inner") writePointer(deviceOuter_ + kDeviceChainInnerLink, nullptr);
  else if (form == "null-device") writePointer(deviceInner_ + kDeviceChainDeviceLink, nullptr);
  else return false;
  return true;
}

std::uint32_t HostMemory::screenWord(std::uint32_t offset) const {
  std::uint32_t v;
  std::memcpy(&v, screen_ + offset, 4);
  return v;
}

std::int32_t HostMemory::gameMode() const {
  std::int32_t v;
  std::memcpy(&v, game_ + kGameModeField, 4);
  return v;
}

float HostMemory::preStartTimer() const {
  float v;
  std::memcpy(&v, carState_ + kPreStartTimerField, 4);
  return v;
}

std::int32_t HostMemory::finishedFlag() const {
  std::int32_t v;
  std::memcpy(&v, carState_ + kFinishedFlagField, 4);
  return v;
}

}  // namespace simhost
