#include "hooks/HookState.h"

#include "TextureHandler.h"

namespace ostrel {

HookState& hookState() {
  // Never destroyed: at process exit the host's device and its textures may
  // be gone already, so what the renderers hold is not given back then.
  static HookState& state = *new HookState;
  return state;
}

}  // namespace ostrel
