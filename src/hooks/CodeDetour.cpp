// Minimal detour: 5-byte jump, moved whole instructions in an executable
// block. Refuses (installed stays false) what the trampoline planner refuses.
#include "hooks/CodeDetour.h"
#include <windows.h>
#include <cstring>
#include "hooks/TrampolineBuilder.h"
namespace ostrel {
CodeDetour::CodeDetour(std::uintptr_t target, std::uintptr_t replacement) {
  // Only committed code that can be read may be patched: a host of another
  // build may have nothing at the address.
  MEMORY_BASIC_INFORMATION mbi{};
  if (!VirtualQuery(reinterpret_cast<void*>(target), &mbi, sizeof mbi) || mbi.State != MEM_COMMIT ||
      !(mbi.Protect & (PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) ||
      reinterpret_cast<std::uintptr_t>(mbi.BaseAddress) + mbi.RegionSize < target + 32)
    return;
  tramp_ = static_cast<unsigned char*>(VirtualAlloc(nullptr, 64, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  TrampolinePlan plan = planTrampoline(reinterpret_cast<const std::uint8_t*>(target), 32, target,
                                       reinterpret_cast<std::uintptr_t>(tramp_), 5, 5);
  if (!plan.ok()) return;
  std::memcpy(tramp_, plan.bytes, plan.size);
  std::uint8_t patch[32];
  buildPatch(patch, plan.stolenLength, target, replacement, 5);
  DWORD old;
  VirtualProtect(reinterpret_cast<void*>(target), plan.stolenLength, PAGE_EXECUTE_READWRITE, &old);
  std::memcpy(reinterpret_cast<void*>(target), patch, plan.stolenLength);
  VirtualProtect(reinterpret_cast<void*>(target), plan.stolenLength, old, &old);
  installed = true;
}
}
