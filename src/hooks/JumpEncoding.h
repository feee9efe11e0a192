#pragma once
// The two jump forms a detour writes, and the jumps it follows to the real
// code. Addresses are those of the 32-bit host process.
//
// Windows-free: also built natively for the tests.
#include <cstddef>
#include <cstdint>
#include <string>

namespace ostrel {

inline constexpr int kNearJumpLength = 5;   // E9 rel32
inline constexpr int kFarJumpLength = 10;   // FF 25 [slot], then the slot

// 5 when the two addresses lie within 0x7FFFFFFF of each other, else 10.
int jumpLengthBetween(std::uint32_t from, std::uint32_t to);

// Writes into `out` the jump that, once placed at address `at`, goes to
// `destination`. `length` is 5 or 10.
void encodeJump(std::uint8_t* out, std::uint32_t at, std::uint32_t destination, int length);

// One step along a chain of jumps in front of a function.
struct JumpHop {
  enum Kind { Stop, Direct, ThroughSlot } kind = Stop;
  // Direct: the jump's destination. ThroughSlot: the address of the 32-bit
  // slot that holds the destination (an import thunk's FF 25).
  std::uint32_t next = 0;
};

// Looks at the `available` bytes found at `address`.
JumpHop decodeJumpHop(const std::uint8_t* bytes, std::size_t available, std::uint32_t address);

// Name of the event by which a detour marks itself owner of its target.
std::string detourMarkerName(std::uint32_t target);

}  // namespace ostrel
