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

// A jump chain as it was walked, with every byte it was decoded from: the
// code at each hop (the chain's end included, whose bytes said "no jump")
// and the slots of FF 25 jumps. While all of them read the same, the chain
// from the same start leads to the same code; checking that costs compares
// and no memory query.
class JumpChain {
 public:
  // Walks from `from` as resolveJumpChain does (one memory query per read).
  static JumpChain walk(std::uintptr_t from);

  std::uintptr_t end() const { return end_; }
  // True when this chain was walked from `from` and every byte it was decoded
  // from reads the same. The bytes are read in the chain's order, each only
  // while the ones before it still match: a read is made where the host's
  // own calls go through the same unchanged code. A chain that met memory it
  // could not read whole is never taken as unchanged (it is walked again).
  bool unchangedFrom(std::uintptr_t from) const;

 private:
  struct Read {
    std::uintptr_t address = 0;
    std::uint8_t bytes[6] = {};
    std::uint8_t size = 0;
  };
  // Each hop's code, and a slot read after an FF 25; and the end's code.
  static constexpr int kMaxReads = 2 * kMaxJumpHops + 1;

  // False when there is no room left for it.
  bool add(std::uintptr_t address, const std::uint8_t* bytes, std::size_t size);

  Read reads_[kMaxReads];
  int readCount_ = 0;
  bool whole_ = false;  // every read got all the bytes it asked for
  std::uintptr_t start_ = 0;
  std::uintptr_t end_ = 0;
};

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
