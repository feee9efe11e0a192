#pragma once
// The words of an intact car's damage record: fractions at 1, amounts,
// wear and state codes at 0, no crack record. Windows-free (native builds too).
#include <cstdint>
#include <cstring>

#include "panels/HostState.h"

namespace testing_support {

inline void writeIntactDamageWords(std::uint8_t* words) {
  auto setF = [words](int w, float v) { std::memcpy(words + 4 * w, &v, 4); };
  auto setI = [words](int w, std::int32_t v) { std::memcpy(words + 4 * w, &v, 4); };
  for (int w = 0; w < static_cast<int>(ostrel::host::kDamageRecordSize / 4); ++w) setF(w, 1.0f);
  // Words where a larger value means more damage, and the state codes.
  for (int w : {39, 43, 47, 51, 58, 61, 62, 180, 182, 184, 186, 231, 232, 233}) setI(w, 0);
  // Each corner's amounts and its wear group.
  for (int corner = 0; corner < 4; ++corner)
    for (int w = 123; w <= 135; ++w) setI(w + 14 * corner, 0);
  // The other wear groups: 0.0 is unworn.
  for (int g : {187, 195, 203, 211})
    for (int k = 0; k < 8; ++k) setF(g + k, 0.0f);
  setI(ostrel::host::kDamageFloatsSlot / 4, 0);  // no crack record
}

}  // namespace testing_support
