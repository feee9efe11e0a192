// The host pointers and the reads of game state through them, with safe
// defaults where a block is missing. Windows-free (finding the pointers is
// HostState.cpp's), so the gauges' value sources also build natively.
#include "panels/HostState.h"

namespace ostrel::host {

HostPointers& pointers() {
  static HostPointers p;
  return p;
}

std::int32_t gameMode() {
  const auto* g = pointers().gameStateBlock;
  return g ? field<std::int32_t>(g, kGameModeOffset) : 0;
}

float preStartTimer() {
  const auto* c = pointers().carStateBlock;
  return c ? field<float>(c, kPreStartTimerOffset) : 0.0f;
}

std::int32_t finishedFlag() {
  const auto* c = pointers().carStateBlock;
  return c ? field<std::int32_t>(c, kFinishedFlagOffset) : 0;
}

float hostClock() {
  const auto* c = pointers().carStateBlock;
  return c ? field<float>(c, kHostClockOffset) : 0.0f;
}

std::int32_t eventFlag() {
  const auto* c = pointers().carStateBlock;
  return c ? field<std::int32_t>(c, kEventFlagOffset) : 0;
}

std::int32_t eventCode() {
  const auto* c = pointers().carStateBlock;
  if (!c) return 0;
  const auto* a = field<const std::uint8_t*>(c, kEventRecordOffset);
  if (!a) return 0;
  const auto* code = field<const std::uint8_t*>(a, kEventCodeSlot);
  return code ? field<std::int32_t>(code, 0) : 0;
}

std::int32_t pauseWord() {
  const auto* p = pointers().pauseBlock;
  return p ? field<std::int32_t>(p, kPauseWordOffset) : 0;
}

const std::uint8_t* damageBlock() {
  const auto* car = pointers().carObject;
  return car ? field<const std::uint8_t*>(car, kDamageBlockOffset) : nullptr;
}

const std::uint8_t* engineRecord() {
  const auto* car = pointers().carObject;
  return car ? field<const std::uint8_t*>(car, kEngineRecordOffset) : nullptr;
}

}  // namespace ostrel::host
