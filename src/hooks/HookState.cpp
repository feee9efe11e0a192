#include "hooks/HookState.h"

namespace ostrel {

HookState& hookState() {
  static HookState state;
  return state;
}

}  // namespace ostrel
