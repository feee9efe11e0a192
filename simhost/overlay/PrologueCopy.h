#pragma once
// What an overlay copies out of a function's entry before it writes its
// 5-byte jump there: whole instructions only, taken from a short table of the
// prologue forms the device's methods start with. A jump or call with a
// 32-bit relative target is moved with its target kept; anything else the
// table does not know is refused, so the overlay never cuts an instruction.
// No Windows header: the plan is plain bytes and addresses.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace simhost_overlay {

inline constexpr std::size_t kPatchLength = 5;

struct PrologueCopy {
  bool ok = false;
  std::size_t copied = 0;              // bytes of the entry the trampoline replaces
  std::vector<std::uint8_t> trampoline;  // the copied instructions, then a jump back (unless they end in a jump)
  std::string refusal;                   // why not, with the bytes it stopped at
};

// Length of the one instruction at `code` (0: not in the table).
std::size_t prologueInstructionLength(const std::uint8_t* code, std::size_t available);

// Plans the trampoline for a patch at `entry` whose copy will live at
// `trampolineAddress`. `code` holds at least 16 bytes read at `entry`.
PrologueCopy planPrologueCopy(const std::uint8_t* code, std::size_t available, std::uint32_t entry,
                              std::uint32_t trampolineAddress);

// The bytes of a jump from `from` to `to`.
std::vector<std::uint8_t> relativeJump(std::uint32_t from, std::uint32_t to);

}  // namespace simhost_overlay
