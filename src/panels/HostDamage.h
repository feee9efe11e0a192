#pragma once
// The damage view of the car the host has loaded now.
#include "panels/DamageRules.h"

namespace ostrel {

// Words of the current DamageBlock, with word 290 (a host pointer) resolved.
// Both members are null when no car or no damage record is loaded.
DamageWords hostDamageWords();

}  // namespace ostrel
