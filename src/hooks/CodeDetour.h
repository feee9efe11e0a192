#pragma once
// Minimal detour: 5-byte jump, moved whole instructions in an executable
// block. Refuses (installed stays false) what the trampoline planner refuses.
#include <cstdint>
namespace ostrel {
class CodeDetour {
 public:
  CodeDetour(std::uintptr_t target, std::uintptr_t replacement);
  bool installed = false;
  std::uintptr_t trampolineEntry() const { return installed ? reinterpret_cast<std::uintptr_t>(tramp_) : 0; }
 private:
  unsigned char* tramp_ = nullptr;
};
}
