#pragma once
// Redirects one host function to a function of the plug-in: the first whole
// instructions at the target are replaced by a jump to the replacement, and
// a trampoline (those instructions, carried over, then a jump back) still
// runs the host function as it was.
//
// Making a detour patches nothing: it takes the trampoline's memory, so the
// trampoline's address is known before the patch goes live (a hook that
// another thread may enter at once can be given it first). enable() patches.
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

// What enable() did. Every outcome but the first two leaves the target
// untouched and the detour without a trampoline.
enum class DetourOutcome {
  Enabled,
  AlreadyEnabled,
  NothingReadable,    // no readable code at the target
  NoMemory,           // no memory for the trampoline
  Undecodable,        // the planner's refusals (TrampolineRefusal)
  CodeEndsEarly,
  ShortBranch,
  BranchIntoMoved,
  ProtectionRefused,  // the trampoline or the target could not be re-protected
};

// A short text for every outcome; the refusals' texts end the log line
// "Detour at %08x not installed: <text>".
const char* outcomeText(DetourOutcome outcome);
DetourOutcome outcomeOf(TrampolineRefusal refusal);

class CodeDetour {
 public:
  // Asks for the named event that marks the detour as the owner of its
  // target; only an owner puts the host's bytes back on disable().
  struct WithMarkerEvent {};

  // Patch nothing; without a marker event.
  CodeDetour(std::uintptr_t target, std::uintptr_t replacement);
  CodeDetour(std::uintptr_t target, std::uintptr_t replacement, WithMarkerEvent);
  ~CodeDetour();
  CodeDetour(const CodeDetour&) = delete;
  CodeDetour& operator=(const CodeDetour&) = delete;

  // Patches the target and makes the trampoline read-execute. Never throws;
  // a refusal is logged ("Detour at %08x not installed: ...") and leaves the
  // target as it was.
  DetourOutcome enable();
  // Puts the host's bytes back if this detour owns the marker event, and
  // gives up the trampoline entry. Without that ownership the patch stays
  // and the trampoline's memory is kept alive for the replacement.
  void disable();

  bool enabled() const { return enabled_; }
  // Where the host function is run from: known from creation on (while
  // memory could be had), 0 after a refusal or disable().
  std::uintptr_t trampolineEntry() const;
  std::size_t trampolineSize() const { return trampolineSize_; }

  std::uintptr_t target() const { return target_; }  // patched address (jump chain resolved)
  std::uintptr_t replacement() const { return replacement_; }
  int patchJumpLength() const { return patchJumpLength_; }
  int returnJumpLength() const { return returnJumpLength_; }
  int stolenLength() const { return stolenLength_; }  // whole instructions moved from the target
  const void* markerEvent() const { return markerEvent_; }

 private:
  DetourOutcome patch();
  void releaseTrampoline();

  std::uintptr_t requestedTarget_ = 0;  // as the caller gave it: names the marker event
  std::uintptr_t target_ = 0;
  std::uintptr_t replacement_ = 0;
  int patchJumpLength_ = kFarJumpLength;
  int returnJumpLength_ = kFarJumpLength;
  int stolenLength_ = 0;
  bool enabled_ = false;
  bool wantsMarkerEvent_ = false;
  void* markerEvent_ = nullptr;
  std::uint8_t* trampoline_ = nullptr;  // memory of its own, read-execute once written
  std::size_t trampolineSize_ = 0;
  // The host's bytes as they were: the trampoline's copy may hold re-aimed
  // displacements, so it cannot serve to restore them.
  std::uint8_t original_[kTrampolineCapacity] = {};
};

}  // namespace ostrel
