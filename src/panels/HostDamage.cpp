#include "panels/HostDamage.h"

#include <cstdint>

#include "panels/HostState.h"

namespace ostrel {

DamageWords hostDamageWords() {
  DamageWords d;
  d.words = host::damageBlock();
  if (!d.words) return d;
  // Host pointers are 32-bit words, whatever the build's pointer size.
  const auto q = host::field<std::uint32_t>(d.words, host::kDamageFloatsSlot);
  d.r17Floats = reinterpret_cast<const float*>(static_cast<std::uintptr_t>(q));
  return d;
}

}  // namespace ostrel
