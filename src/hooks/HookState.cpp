#include "hooks/HookState.h"

namespace ostrel {

bool gaugesEnabled = true;
std::int32_t refreshRate = 0;

HookState& hookState() {
  static HookState state;
  return state;
}

}  // namespace ostrel
