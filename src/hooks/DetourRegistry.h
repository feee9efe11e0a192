#pragma once
// The one owner of every detour of the process. Detours live as long as the
// process (a patched function may be entered at any time), so nobody else
// frees them; the registry makes them, and the caller enables the one it got
// once its hook has what it needs (its trampoline entry, for one). Like all
// of the plug-in's state it is used from the host's threads that call in,
// one at a time (start-up, the frame, the texture function), without a lock.
//
// Windows-free header.
#include <cstdint>
#include <memory>
#include <vector>

#include "hooks/CodeDetour.h"

namespace ostrel {

class DetourRegistry {
 public:
  // A new detour of `target` (nothing patched yet), kept from now on: the
  // reference stays valid for the life of the registry.
  CodeDetour& make(std::uintptr_t target, std::uintptr_t replacement);
  std::size_t size() const;

 private:
  std::vector<std::unique_ptr<CodeDetour>> detours_;
};

// The process's registry.
DetourRegistry& detours();

}  // namespace ostrel
