#pragma once
// Length decoder for x86 code (32- and 64-bit). It tells how many whole
// instructions a detour must move; it does not say what they do.
//
// Windows-free: also built natively for the sanitizer and fuzz tests.
#include <cstddef>
#include <cstdint>

namespace ostrel {

// No x86 instruction is longer than this; the decoder never reads past it.
inline constexpr int kMaxInstructionLength = 15;
inline constexpr std::int32_t kInvalidInstruction = -1;

// Length in bytes of the instruction at `address`, or -1 for an encoding it
// does not accept. `mode` 64 decodes 64-bit code, every other value 32-bit
// code. Reads at most 15 bytes.
std::int32_t instructionLength(const void* address, int mode);

// The same, reading at most `available` bytes (and never more than 15): an
// instruction that would need more is reported as -1.
std::int32_t instructionLength(const void* address, std::size_t available, int mode);

}  // namespace ostrel
