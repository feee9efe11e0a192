#include "hooks/TrampolineBuilder.h"

#include <cstring>

#include "hooks/InstructionLength.h"
#include "hooks/JumpEncoding.h"

namespace ostrel {
namespace {

// What an instruction means for moving it: a relative operand to re-aim, a
// branch that cannot move, or the end of the code that follows it.
struct MoveTraits {
  bool endsCode = false;        // RET, JMP: what follows may be another function
  bool shortRelative = false;   // rel8 or rel16: cannot reach from the trampoline
  int rel32Offset = -1;         // offset of a rel32 displacement to re-aim
};

bool isLegacyPrefix(std::uint8_t b) {
  switch (b) {
    case 0x26: case 0x2E: case 0x36: case 0x3E: case 0x64: case 0x65:
    case 0x66: case 0x67: case 0xF0: case 0xF2: case 0xF3:
      return true;
    default:
      return false;
  }
}

MoveTraits traitsOf(const std::uint8_t* insn, int length) {
  MoveTraits t;
  int i = 0;
  bool operand16 = false;
  while (i < length && isLegacyPrefix(insn[i])) operand16 |= insn[i++] == 0x66;
  if (i >= length) return t;
  const std::uint8_t op = insn[i];
  const int modrm = i + 1 < length ? insn[i + 1] : -1;
  switch (op) {
    case 0xC2: case 0xC3: case 0xCA: case 0xCB: case 0xCF:  // RET, RETF, IRET
      t.endsCode = true;
      break;
    case 0xEB:  // JMP rel8
      t.endsCode = true;
      t.shortRelative = true;
      break;
    case 0xE0: case 0xE1: case 0xE2: case 0xE3:  // LOOPcc / JECXZ rel8
      t.shortRelative = true;
      break;
    case 0xE8: case 0xE9:  // CALL / JMP rel32 (rel16 with 66)
      t.endsCode = op == 0xE9;
      if (operand16) t.shortRelative = true;
      else t.rel32Offset = i + 1;
      break;
    case 0x0F:
      if (i + 1 < length && (insn[i + 1] & 0xF0) == 0x80) {  // Jcc rel32 (rel16 with 66)
        if (operand16) t.shortRelative = true;
        else t.rel32Offset = i + 2;
      }
      break;
    case 0xC7:  // XBEGIN: its abort address is relative
      if (modrm == 0xF8) t.shortRelative = true;
      break;
    case 0xFF:  // JMP near/far indirect
      if (modrm >= 0 && (((modrm >> 3) & 7) == 4 || ((modrm >> 3) & 7) == 5)) t.endsCode = true;
      break;
    default:
      if (op >= 0x70 && op <= 0x7F) t.shortRelative = true;  // Jcc rel8
      break;
  }
  return t;
}

std::int32_t readInt32(const std::uint8_t* p) {
  std::int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void writeInt32(std::uint8_t* p, std::int32_t v) { std::memcpy(p, &v, 4); }

}  // namespace

TrampolinePlan planTrampoline(const std::uint8_t* code, std::size_t available, std::uint32_t target,
                              std::uint32_t trampoline, int patchLength, int returnJumpLength) {
  TrampolinePlan plan;
  auto refuse = [&plan](TrampolineRefusal why) {
    plan.refusal = why;
    plan.stolenLength = 0;
    plan.size = 0;
    return plan;
  };

  // Whole instructions until the patch is covered.
  int offsets[kMaxInstructionLength + 1];
  int count = 0;
  int stolen = 0;
  while (stolen < patchLength) {
    if (code == nullptr || static_cast<std::size_t>(stolen) >= available)
      return refuse(TrampolineRefusal::Undecodable);
    const int length = instructionLength(code + stolen, available - stolen, 0);
    if (length <= 0) return refuse(TrampolineRefusal::Undecodable);
    offsets[count++] = stolen;
    stolen += length;
  }
  if (stolen + returnJumpLength > kTrampolineCapacity) return refuse(TrampolineRefusal::Undecodable);

  std::memcpy(plan.bytes, code, static_cast<std::size_t>(stolen));
  for (int n = 0; n < count; ++n) {
    const int at = offsets[n];
    const int length = (n + 1 < count ? offsets[n + 1] : stolen) - at;
    const MoveTraits traits = traitsOf(code + at, length);
    if (traits.endsCode && n + 1 < count) return refuse(TrampolineRefusal::CodeEndsEarly);
    if (traits.shortRelative) return refuse(TrampolineRefusal::ShortBranch);
    if (traits.rel32Offset < 0) continue;
    // Same absolute destination from the instruction's new address.
    const std::uint32_t oldEnd = target + static_cast<std::uint32_t>(at + length);
    const std::uint32_t destination =
        oldEnd + static_cast<std::uint32_t>(readInt32(code + at + traits.rel32Offset));
    if (destination - target <= static_cast<std::uint32_t>(stolen))
      return refuse(TrampolineRefusal::BranchIntoMoved);  // incl. CALL $+5 (reads its own address)
    const std::uint32_t newEnd = trampoline + static_cast<std::uint32_t>(at + length);
    writeInt32(plan.bytes + at + traits.rel32Offset, static_cast<std::int32_t>(destination - newEnd));
  }

  encodeJump(plan.bytes + stolen, trampoline + static_cast<std::uint32_t>(stolen),
             target + static_cast<std::uint32_t>(stolen), returnJumpLength);
  plan.stolenLength = stolen;
  plan.size = stolen + returnJumpLength;
  return plan;
}

void buildPatch(std::uint8_t* out, int stolenLength, std::uint32_t target, std::uint32_t replacement,
                int patchLength) {
  std::memset(out, 0x90, static_cast<std::size_t>(stolenLength));  // 90: NOP
  encodeJump(out, target, replacement, patchLength);
}

}  // namespace ostrel
