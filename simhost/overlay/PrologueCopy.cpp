#include "PrologueCopy.h"

#include <cstdio>
#include <cstring>

namespace simhost_overlay {
namespace {

// Bytes a ModRM operand adds after the ModRM byte itself (SIB and
// displacement), 32-bit addressing.
std::size_t operandBytes(const std::uint8_t* code, std::size_t available) {
  if (available < 1) return 0;
  const std::uint8_t modrm = code[0], mod = modrm >> 6, rm = modrm & 7;
  if (mod == 3) return 1;
  std::size_t n = 1;
  if (rm == 4) {
    if (available < 2) return 0;
    const std::uint8_t base = code[1] & 7;
    ++n;
    if (mod == 0 && base == 5) n += 4;
  } else if (mod == 0 && rm == 5) {
    n += 4;  // absolute address: copies as it is
  }
  if (mod == 1) n += 1;
  if (mod == 2) n += 4;
  return n <= available ? n : 0;
}

std::uint32_t read32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void write32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

}  // namespace

std::size_t prologueInstructionLength(const std::uint8_t* code, std::size_t available) {
  if (available < 1) return 0;
  const std::uint8_t op = code[0];
  auto withOperand = [&](std::size_t opcodeBytes, std::size_t immediate) -> std::size_t {
    const std::size_t operand = operandBytes(code + opcodeBytes, available - opcodeBytes);
    if (!operand) return 0;
    const std::size_t n = opcodeBytes + operand + immediate;
    return n <= available ? n : 0;
  };
  if (op >= 0x50 && op <= 0x5F) return 1;  // push / pop a register
  if (op == 0x90) return 1;                 // nop
  if (op == 0x6A) return available >= 2 ? 2 : 0;                            // push imm8
  if (op == 0x68 || (op >= 0xB8 && op <= 0xBF)) return available >= 5 ? 5 : 0;  // push / mov imm32
  if (op == 0xE8 || op == 0xE9) return available >= 5 ? 5 : 0;              // call / jmp rel32
  // mov, lea, and the two-operand arithmetic a prologue uses on registers
  // and stack slots.
  switch (op) {
    case 0x01: case 0x03: case 0x09: case 0x0B: case 0x29: case 0x2B: case 0x31: case 0x33:
    case 0x39: case 0x3B: case 0x85: case 0x89: case 0x8B: case 0x8D:
      return withOperand(1, 0);
    case 0x83: return withOperand(1, 1);  // arithmetic with imm8 (sub esp, and esp)
    case 0x81: return withOperand(1, 4);  // arithmetic with imm32
    case 0xC7: return withOperand(1, 4);  // mov r/m32, imm32
    case 0xFF:  // push r/m32 and jmp through a slot (absolute); other forms are not prologue
      if (available >= 2 && (((code[1] >> 3) & 7) == 6 || ((code[1] >> 3) & 7) == 4)) return withOperand(1, 0);
      return 0;
    case 0x64:  // fs: mov eax, [abs]
      if (available >= 6 && code[1] == 0xA1) return 6;
      return 0;
  }
  return 0;
}

std::vector<std::uint8_t> relativeJump(std::uint32_t from, std::uint32_t to) {
  std::vector<std::uint8_t> j(5);
  j[0] = 0xE9;
  write32(&j[1], to - (from + 5));
  return j;
}

PrologueCopy planPrologueCopy(const std::uint8_t* code, std::size_t available, std::uint32_t entry,
                              std::uint32_t trampolineAddress) {
  PrologueCopy plan;
  std::size_t at = 0;
  bool endsInJump = false;
  while (at < kPatchLength) {
    const std::size_t n = prologueInstructionLength(code + at, available - at);
    if (n == 0) {
      char text[96];
      int w = std::snprintf(text, sizeof text, "prologue not understood at +%u:", static_cast<unsigned>(at));
      for (std::size_t i = at; i < at + 6 && i < available && w > 0 && w < 80; ++i)
        w += std::snprintf(text + w, sizeof text - w, " %02X", code[i]);
      plan.refusal = text;
      return plan;
    }
    const std::uint8_t op = code[at];
    const std::uint32_t here = trampolineAddress + static_cast<std::uint32_t>(plan.trampoline.size());
    if (op == 0xE8 || op == 0xE9) {
      // The target stays where it was: only the displacement changes.
      const std::uint32_t target = entry + static_cast<std::uint32_t>(at) + 5 + read32(code + at + 1);
      std::vector<std::uint8_t> moved = relativeJump(here, target);
      moved[0] = op;
      plan.trampoline.insert(plan.trampoline.end(), moved.begin(), moved.end());
    } else {
      plan.trampoline.insert(plan.trampoline.end(), code + at, code + at + n);
    }
    at += n;
    // After an unconditional jump nothing of the entry runs again.
    if (op == 0xE9 || (op == 0xFF && ((code[at - n + 1] >> 3) & 7) == 4)) {
      endsInJump = true;
      break;
    }
  }
  if (!endsInJump) {
    const std::uint32_t here = trampolineAddress + static_cast<std::uint32_t>(plan.trampoline.size());
    std::vector<std::uint8_t> back = relativeJump(here, entry + static_cast<std::uint32_t>(at));
    plan.trampoline.insert(plan.trampoline.end(), back.begin(), back.end());
  }
  plan.copied = at;
  plan.ok = true;
  return plan;
}

}  // namespace simhost_overlay
