#pragma once
// Redirects one host function to a function of the plug-in: the first whole
// instructions at the target are replaced by a jump to the replacement, and
// a trampoline (those instructions, carried over, then a jump back) still
// runs the host function as it was.
//
// Windows-free header; the memory work lives in CodeDetourPlatform.
#include <cstddef>
#include <cstdint>

#include "hooks/JumpEncoding.h"
#include "hooks/TrampolineBuilder.h"

namespace ostrel {

// Jumps followed from a function's address before patching (import thunks,
// incremental-link jumps) stop after this many hops: a jump to itself or a
// ring of jumps must not hang the host.
inline constexpr int kMaxJumpHops = 16;

// Follows E9 / EB / FF 25 jumps from `address` to the code they lead to.
// Reads only committed readable memory; it stops where the next hop cannot be
// read, at EB 00 / EB 80, at anything that is not such a jump, or after
// kMaxJumpHops hops.
std::uintptr_t resolveJumpChain(std::uintptr_t address);

class CodeDetour {
 public:
  // Asks for the named event that marks the detour as the owner of its
  // target; only an owner puts the host's bytes back on removal.
  struct WithMarkerEvent {};

  // Constructs and installs, without a marker event.
  CodeDetour(std::uintptr_t target, std::uintptr_t replacement);
  CodeDetour(std::uintptr_t target, std::uintptr_t replacement, WithMarkerEvent);
  ~CodeDetour();
  CodeDetour(const CodeDetour&) = delete;
  CodeDetour& operator=(const CodeDetour&) = delete;

  // True when the target has been patched. Never throws; on failure the
  // target is untouched and there is no trampoline entry.
  bool install(std::uintptr_t target, std::uintptr_t replacement);
  // Installs again for the target and replacement given last.
  bool install();
  // Puts the host's bytes back if this detour owns the marker event, and
  // gives up the trampoline entry.
  void remove();

  // Where the host function is run from; 0 when not installed.
  std::uintptr_t trampolineEntry() const;
  std::size_t trampolineSize() const { return trampolineSize_; }

  std::uintptr_t target = 0;       // the address actually patched (jump chain resolved)
  std::uintptr_t replacement = 0;
  int patchJumpLength = kFarJumpLength;
  int returnJumpLength = kFarJumpLength;
  int stolenLength = 0;            // whole instructions moved from the target
  bool installed = false;
  bool noMarkerEvent = true;
  void* markerEvent = nullptr;

 private:
  bool tryInstall(std::uintptr_t requested, std::uintptr_t replacementAddress);
  void releaseTrampoline();

  std::uintptr_t requestedTarget_ = 0;  // as the caller gave it: names the marker event
  std::uint8_t* trampoline_ = nullptr;  // executable memory of its own
  std::size_t trampolineSize_ = 0;
  // The host's bytes as they were: the trampoline's copy may hold re-aimed
  // displacements, so it cannot serve to restore them.
  std::uint8_t original_[kTrampolineCapacity] = {};
};

}  // namespace ostrel
