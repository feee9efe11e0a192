// The trampoline planner on arbitrary code: a plan it accepts covers the
// patch with whole instructions, fits its buffer, ends with a jump back to
// the first byte not moved, and changes nothing but relative displacements.
#include <cstdint>
#include <cstring>

#include "FuzzCheck.h"
#include "hooks/InstructionLength.h"
#include "hooks/JumpEncoding.h"
#include "hooks/TrampolineBuilder.h"

namespace {

std::uint32_t word(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

std::uint32_t jumpDestination(const std::uint8_t* jump, std::uint32_t at) {
  if (jump[0] == 0xE9) return at + 5 + word(jump + 1);
  FUZZ_CHECK(jump[0] == 0xFF && jump[1] == 0x25 && word(jump + 2) == at + 6, "not a jump form");
  return word(jump + 6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  // Addresses and jump forms from the first bytes, code from the rest.
  const std::uint32_t target = word(data);
  const std::uint32_t trampoline = word(data + 4);
  const int patchLength = (data[8] & 1) ? ostrel::kFarJumpLength : ostrel::kNearJumpLength;
  const int returnLength = (data[8] & 2) ? ostrel::kFarJumpLength : ostrel::kNearJumpLength;
  const std::uint8_t* code = data + 9;
  const std::size_t available = size - 9;

  const ostrel::TrampolinePlan plan =
      ostrel::planTrampoline(code, available, target, trampoline, patchLength, returnLength);
  if (!plan.ok()) {
    FUZZ_CHECK(plan.stolenLength == 0 && plan.size == 0, "a refused plan keeps a size");
    return 0;
  }
  FUZZ_CHECK(plan.stolenLength >= patchLength, "stolen %d < patch %d", plan.stolenLength, patchLength);
  FUZZ_CHECK(static_cast<std::size_t>(plan.stolenLength) <= available, "stole bytes it was not given");
  FUZZ_CHECK(plan.size == plan.stolenLength + returnLength, "size %d", plan.size);
  FUZZ_CHECK(plan.size <= ostrel::kTrampolineCapacity, "size %d", plan.size);
  const std::uint32_t back = trampoline + static_cast<std::uint32_t>(plan.stolenLength);
  FUZZ_CHECK(jumpDestination(plan.bytes + plan.stolenLength, back) ==
                 target + static_cast<std::uint32_t>(plan.stolenLength),
             "the jump back misses");
  // Whole instructions: walking the moved bytes lands exactly on their end.
  int at = 0;
  while (at < plan.stolenLength) {
    const int length = ostrel::instructionLength(code + at, available - static_cast<std::size_t>(at), 32);
    FUZZ_CHECK(length > 0, "an undecodable instruction was moved");
    // Only a rel32 branch may differ, and then it reaches the same place.
    if (std::memcmp(plan.bytes + at, code + at, static_cast<std::size_t>(length)) != 0) {
      FUZZ_CHECK(length >= 5, "a short instruction was changed");
      const int field = length - 4;
      FUZZ_CHECK(std::memcmp(plan.bytes + at, code + at, static_cast<std::size_t>(field)) == 0,
                 "bytes other than the displacement changed");
      const std::uint32_t end = static_cast<std::uint32_t>(at + length);
      FUZZ_CHECK(target + end + word(code + at + field) == trampoline + end + word(plan.bytes + at + field),
                 "a re-aimed branch goes elsewhere");
    }
    at += length;
  }
  FUZZ_CHECK(at == plan.stolenLength, "the moved bytes end inside an instruction");
  return 0;
}
