#pragma once
// Damaged part table: every damaged part by name, one column per damage
// level (worst first), drawn with the host's text and point operations.
#include <cstdint>

#include "panels/BasicHUD.h"
#include "panels/DamageRules.h"

namespace ostrel {

struct DamageEntry {
  std::int32_t part;
  std::int32_t level;
};

// The single parts 21..87 without 42 (no rule) and 71..74 (the tires, which
// the tire panel shows): at most 62 entries, held in place so that a frame
// costs no heap allocation.
struct DamageList {
  static constexpr int kCapacity = 62;
  DamageEntry entries[kCapacity];
  int count = 0;
};

class DamagedPartTableHUD : public BasicHUD {
 public:
  DamagedPartTableHUD();
  void draw(IHostGame* host) override;
  // The damaged parts of the car loaded now (empty without a car).
  DamageList buildDamageList() const;
  static DamageList buildDamageList(const DamageWords& damage);
};

}  // namespace ostrel
