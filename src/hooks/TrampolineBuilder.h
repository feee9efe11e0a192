#pragma once
// Builds a detour's trampoline and patch on plain byte buffers: which whole
// instructions to move, how to carry them to their new address, the jump
// back. No OS calls, so the rules are testable natively.
//
// Windows-free.
#include <cstddef>
#include <cstdint>

namespace ostrel {

// The trampoline buffer starts this large; what it finally holds is the moved
// bytes plus the jump back (at most 24 + 10).
inline constexpr int kTrampolineCapacity = 50;

enum class TrampolineRefusal {
  None,
  Undecodable,     // an instruction the length decoder does not accept
  CodeEndsEarly,   // a return or jump ends the code before the patch is covered
  ShortBranch,     // a relative branch whose new distance would not fit
  BranchIntoMoved, // a relative branch or call whose destination is moved too
};

struct TrampolinePlan {
  TrampolineRefusal refusal = TrampolineRefusal::None;
  int stolenLength = 0;
  int size = 0;  // stolenLength + returnJumpLength
  std::uint8_t bytes[kTrampolineCapacity] = {};

  bool ok() const { return refusal == TrampolineRefusal::None; }
};

// `code` holds the `available` bytes readable at address `target`; the
// trampoline will live at `trampoline`. Moves the first whole instructions
// covering `patchLength` bytes; 32-bit relative calls and jumps among them
// are re-aimed so they still reach their old destination.
TrampolinePlan planTrampoline(const std::uint8_t* code, std::size_t available, std::uint32_t target,
                              std::uint32_t trampoline, int patchLength, int returnJumpLength);

// The bytes that replace the first `stolenLength` bytes at `target`: the
// jump to `replacement`, then NOPs. `out` holds `stolenLength` bytes.
void buildPatch(std::uint8_t* out, int stolenLength, std::uint32_t target, std::uint32_t replacement,
                int patchLength);

}  // namespace ostrel
