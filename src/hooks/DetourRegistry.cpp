#include "hooks/DetourRegistry.h"

namespace ostrel {

CodeDetour& DetourRegistry::make(std::uintptr_t target, std::uintptr_t replacement) {
  auto detour = std::make_unique<CodeDetour>(target, replacement);
  detours_.push_back(std::move(detour));
  return *detours_.back();
}

std::size_t DetourRegistry::size() const {
  return detours_.size();
}

DetourRegistry& detours() {
  static DetourRegistry registry;
  return registry;
}

}  // namespace ostrel
