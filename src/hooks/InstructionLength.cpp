#include "hooks/InstructionLength.h"

#include <algorithm>

#include "hooks/OpcodeMaps.h"

namespace ostrel {
namespace {

using namespace x86;

// Bytes of the instruction seen so far; every read is bounded by the
// caller's limit and by the architectural 15 bytes.
class ByteCursor {
 public:
  ByteCursor(const std::uint8_t* code, std::size_t available)
      : code_(code), limit_(std::min<std::size_t>(available, kMaxInstructionLength)) {}

  bool read(std::uint8_t& out) {
    if (pos_ >= limit_) return false;
    out = code_[pos_++];
    return true;
  }
  // -1 when the byte lies beyond the limit.
  int peek(std::size_t ahead = 0) const {
    return pos_ + ahead < limit_ ? code_[pos_ + ahead] : -1;
  }
  bool skip(std::size_t count) {
    if (count > limit_ - pos_) return false;
    pos_ += count;
    return true;
  }
  std::size_t position() const { return pos_; }

 private:
  const std::uint8_t* code_;
  std::size_t limit_;
  std::size_t pos_ = 0;
};

struct Decoder {
  ByteCursor in;
  bool longMode;
  int operandSize = 32;
  int addressSize;
  bool operandPrefix = false;  // 66 seen
  std::uint8_t repeatPrefix = 0;  // last F2 or F3 seen
  bool rex = false;

  Decoder(const std::uint8_t* code, std::size_t available, bool is64)
      : in(code, available), longMode(is64), addressSize(is64 ? 64 : 32) {}

  int izSize() const { return operandSize == 16 ? 2 : 4; }
  int ivSize() const { return operandSize == 64 ? 8 : operandSize == 16 ? 2 : 4; }

  // ModRM, then SIB and displacement as they ask.
  bool skipModRm(bool registerOnly = false) {
    std::uint8_t modrm;
    if (!in.read(modrm)) return false;
    const int mod = modrm >> 6;
    const int rm = modrm & 7;
    if (mod == 3 || registerOnly) return true;
    if (addressSize == 16) {
      if (mod == 0) return rm == 6 ? in.skip(2) : true;
      return in.skip(mod == 1 ? 1 : 2);
    }
    if (rm == 4) {
      std::uint8_t sib;
      if (!in.read(sib)) return false;
      if (mod == 0 && (sib & 7) == 5) return in.skip(4);
    }
    if (mod == 0) return rm == 5 ? in.skip(4) : true;  // disp32 (RIP-relative in 64-bit code)
    return in.skip(mod == 1 ? 1 : 4);
  }

  int modRmReg() const {
    const int modrm = in.peek();
    return modrm < 0 ? -1 : (modrm >> 3) & 7;
  }
};

// Opcodes that 64-bit code does not have.
bool missingInLongMode(std::uint8_t op) {
  switch (op) {
    case 0x06: case 0x07: case 0x0E: case 0x16: case 0x17: case 0x1E: case 0x1F:
    case 0x27: case 0x2F: case 0x37: case 0x3F: case 0x60: case 0x61: case 0x82:
    case 0x9A: case 0xCE: case 0xD4: case 0xD5: case 0xEA:
      return true;
    default:
      return false;
  }
}

// VEX 0F-map opcodes that carry an Ib, as their legacy forms do.
bool vexMap1TakesImmediate(std::uint8_t op) {
  return (op >= 0x70 && op <= 0x73) || op == 0xC2 || op == 0xC4 || op == 0xC5 || op == 0xC6;
}

// After a VEX, EVEX or XOP prefix: the opcode, its ModRM and the immediate
// that its map implies. `map` counts as in the prefix (1 = 0F, 2 = 0F 38, ...).
bool finishVectorInstruction(Decoder& d, int map, bool isXop) {
  std::uint8_t op;
  if (!d.in.read(op)) return false;
  if (!isXop && map == 1 && op == 0x77) return true;  // VZEROUPPER / VZEROALL
  if (!d.skipModRm()) return false;
  if (isXop) {
    if (map == 8) return d.in.skip(1);
    if (map == 0xA) return d.in.skip(4);
    return true;
  }
  if (map == 3 || (map == 1 && vexMap1TakesImmediate(op))) return d.in.skip(1);
  return true;
}

// C4 / C5 / 62 with the byte after them: vector prefix or LES / LDS / BOUND.
bool decodeVexOrLegacy(Decoder& d, Form form) {
  const int next = d.in.peek();
  if (next < 0) return false;
  // Outside 64-bit code the legacy instruction needs a memory operand, so a
  // register-form ModRM (mod 3) marks the vector prefix.
  if (!d.longMode && (next & 0xC0) != 0xC0) return d.skipModRm();
  if (form == Vex2) {
    d.in.skip(1);
    return finishVectorInstruction(d, 1, false);
  }
  if (form == Vex3) {
    const int map = next & 0x1F;
    if (map < 1 || map > 3) return false;
    if (!d.in.skip(2)) return false;
    return finishVectorInstruction(d, map, false);
  }
  // EVEX: P0 (map in the low three bits), P1, P2.
  const int map = next & 0x07;
  if (map == 0 || map == 4 || map == 7) return false;
  if ((next & 0x08) != 0) return false;  // reserved bit must be 0
  const int p1 = d.in.peek(1);
  if (p1 < 0) return false;
  if ((p1 & 0x04) == 0) return false;  // reserved bit must be 1
  if (!d.in.skip(3)) return false;
  return finishVectorInstruction(d, map, false);
}

bool decodeThreeByte(Decoder& d, const Form* map) {
  std::uint8_t op;
  if (!d.in.read(op)) return false;
  switch (map[op]) {
    case Rm: return d.skipModRm();
    case RmIb: return d.skipModRm() && d.in.skip(1);
    default: return false;
  }
}

bool decodeTwoByte(Decoder& d) {
  std::uint8_t op;
  if (!d.in.read(op)) return false;
  const Form form = kMap0F[op];
  switch (form) {
    case None: return true;
    case Rm: return d.skipModRm();
    case RmIb: return d.skipModRm() && d.in.skip(1);
    case Jz: return d.in.skip(d.izSize());
    case MovCr:
      if (d.longMode && (op == 0x24 || op == 0x26)) return false;
      return d.skipModRm(true);
    case Now3D: return d.skipModRm() && d.in.skip(1);
    case SseImm2: {
      const bool sse4a = d.operandPrefix || d.repeatPrefix == 0xF2;
      return d.skipModRm() && (!sse4a || d.in.skip(2));
    }
    case Esc38: return decodeThreeByte(d, kMap0F38);
    case Esc3A: return decodeThreeByte(d, kMap0F3A);
    default: return false;
  }
}

bool decodeOpcode(Decoder& d, std::uint8_t op) {
  if (d.longMode && missingInLongMode(op)) return false;
  const Form form = kOneByteMap[op];
  switch (form) {
    case None: case RexOr1: return true;
    case Rm: case X87: return d.skipModRm();
    case RmIb: return d.skipModRm() && d.in.skip(1);
    case RmIz: return d.skipModRm() && d.in.skip(d.izSize());
    case Ib: case Jb: return d.in.skip(1);
    case Iw: return d.in.skip(2);
    case Iz: return d.in.skip(d.izSize());
    case Jz:
      return d.in.skip(d.izSize());
    case Iv: return d.in.skip(d.ivSize());
    case IwIb: return d.in.skip(3);
    case Ap: return d.in.skip(d.izSize() + 2);
    case Ob: return d.in.skip(static_cast<std::size_t>(d.addressSize / 8));
    case Esc0F: return decodeTwoByte(d);
    case Grp3b: case Grp3z: {
      const int reg = d.modRmReg();
      if (reg < 0) return false;
      const std::size_t imm = reg <= 1 ? (form == Grp3b ? 1 : d.izSize()) : 0;
      return d.skipModRm() && d.in.skip(imm);
    }
    case Grp11b: case Grp11z: {
      const int modrm = d.in.peek();
      if (modrm < 0) return false;
      const bool abortOrBegin = modrm == 0xF8;  // XABORT Ib / XBEGIN Jz
      if (((modrm >> 3) & 7) != 0 && !abortOrBegin) return false;
      return d.skipModRm() && d.in.skip(form == Grp11b ? 1 : d.izSize());
    }
    case Grp4: {
      const int reg = d.modRmReg();
      return reg >= 0 && reg <= 1 && d.skipModRm();
    }
    case Grp5: {
      const int reg = d.modRmReg();
      return reg >= 0 && reg <= 6 && d.skipModRm();
    }
    case Grp1A: {
      const int next = d.in.peek();
      if (next < 0) return false;
      if ((next & 0x1F) >= 8) {  // XOP: map field 8 or more
        const int map = next & 0x1F;
        if (map > 0xA) return false;
        if (!d.in.skip(2)) return false;
        return finishVectorInstruction(d, map, true);
      }
      return ((next >> 3) & 7) == 0 && d.skipModRm();  // POP Ev
    }
    case Vex3: case Vex2: case Evex: return decodeVexOrLegacy(d, form);
    default: return false;
  }
}

bool isLegacyPrefix(std::uint8_t b) {
  return kOneByteMap[b] == Prefix;
}

// FWAIT in front of an x87 instruction is taken with it, as assemblers write
// FSTSW, FINIT and the like; on its own it is a one-byte instruction.
bool fwaitLeadsX87(const Decoder& d) {
  for (std::size_t ahead = 0;; ++ahead) {
    const int b = d.in.peek(ahead);
    if (b < 0) return false;
    if (b >= 0xD8 && b <= 0xDF) return true;
    const bool rex = d.longMode && (b & 0xF0) == 0x40;
    if (b != 0x9B && !isLegacyPrefix(static_cast<std::uint8_t>(b)) && !rex) return false;
  }
}

}  // namespace

std::int32_t instructionLength(const void* address, std::size_t available, int mode) {
  if (address == nullptr) return kInvalidInstruction;
  Decoder d(static_cast<const std::uint8_t*>(address), available, mode == 64);
  std::uint8_t b;
  int prefixes = 0;
  for (;;) {
    if (!d.in.read(b)) return kInvalidInstruction;
    if (isLegacyPrefix(b) || (b == 0x9B && fwaitLeadsX87(d))) {
      if (++prefixes >= kMaxInstructionLength) return kInvalidInstruction;
      if (b == 0x66) d.operandPrefix = true;
      if (b == 0x67) d.addressSize = d.longMode ? 32 : 16;
      if (b == 0xF2 || b == 0xF3) d.repeatPrefix = b;
      // A REX only counts right before the opcode.
      d.rex = false;
      continue;
    }
    if (d.longMode && (b & 0xF0) == 0x40) {
      if (++prefixes >= kMaxInstructionLength) return kInvalidInstruction;
      d.rex = true;
      d.operandSize = (b & 0x08) ? 64 : 32;
      continue;
    }
    break;
  }
  if (d.operandSize != 64 || !d.rex) d.operandSize = d.operandPrefix ? 16 : 32;
  if (!decodeOpcode(d, b)) return kInvalidInstruction;
  return static_cast<std::int32_t>(d.in.position());
}

std::int32_t instructionLength(const void* address, int mode) {
  return instructionLength(address, kMaxInstructionLength, mode);
}

}  // namespace ostrel
