#include "FuzzHost.h"

namespace fuzz {

FuzzHostMemory::FuzzHostMemory() {
  // Driving, engine running, part of the car broken: every panel and most
  // gauge elements have something to show.
  using namespace ostrel::host;
  put(gameState, kGameModeOffset, kModeDrivingStage);
  put(carState, kEngineSpeedOffset, 6500.0f);
  put(carState, kSpeedOffset, 120.0f);
  put(carState, kWheelSpeedOffset, 33.0f);
  put(carState, kGearOffset, std::int32_t{3});
  put(carObject, kShiftGearOffset, std::int32_t{3});
  put(engine, kWaterTempOffset, 420.0f);  // over the warning
  put(engine, kOilTempOffset, 380.0f);
  for (std::uint32_t w = 0; w < kDamageRecordSize / 4; ++w) put(damage, 4 * w, (w % 7) * 0.15f);
  for (int w = 128; w < 219; ++w) put(damage, 4 * w, (w % 5) * 0.25f);  // tire wear
  put(damage, kDamageFloatsSlot, std::uint32_t{0});
}

}  // namespace fuzz
