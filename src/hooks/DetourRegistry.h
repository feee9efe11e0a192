#pragma once
// The one owner of every detour of the process. Detours live as long as the
// process (a patched function may be entered at any time), so nobody else
// frees them; the registry makes them, and the caller enables the one it got
// once its hook has what it needs (its trampoline entry, for one).
//
// Windows-free header.
#include <cstdint>
#include <memory>
#include <mutex>
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
  mutable std::mutex mutex_;  // start-up and the frame's Reset check may make detours on two threads
  std::vector<std::unique_ptr<CodeDetour>> detours_;
};

// The process's registry.
DetourRegistry& detours();

}  // namespace ostrel
