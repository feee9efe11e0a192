#include "FuzzHost.h"

namespace fuzz {

FuzzHostMemory::FuzzHostMemory() {
  // Driving, engine running, part of the car broken: every panel and most
  // gauge elements have something to show.
  put(gameState, ostrel::host::kGameModeOffset, std::int32_t{1});
  put(carState, 0x10, 6500.0f);   // engine speed
  put(carState, 0x14, 120.0f);    // speed
  put(carState, 0x0C, 33.0f);     // wheel speed
  put(carState, 0x170, std::int32_t{3});
  put(carObject, 0x1100, std::int32_t{3});
  put(engine, 0x23C, 420.0f);     // water, over the warning
  put(engine, 0x20, 380.0f);
  for (int w = 0; w < 300; ++w) put(damage, 4 * w, (w % 7) * 0.15f);
  for (int w = 128; w < 219; ++w) put(damage, 4 * w, (w % 5) * 0.25f);  // tire wear
  put(damage, 290 * 4, std::uint32_t{0});
}

}  // namespace fuzz
