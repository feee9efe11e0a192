#include "hooks/JumpEncoding.h"

#include <cstdio>
#include <cstring>

#include "plugin/FixedText.h"

namespace ostrel {
namespace {

void putWord(std::uint8_t* out, std::uint32_t value) { std::memcpy(out, &value, 4); }

std::uint32_t getWord(const std::uint8_t* in) {
  std::uint32_t value;
  std::memcpy(&value, in, 4);
  return value;
}

}  // namespace

int jumpLengthBetween(std::uint32_t from, std::uint32_t to) {
  const std::uint32_t distance = from > to ? from - to : to - from;
  return distance > 0x7FFFFFFFu ? kFarJumpLength : kNearJumpLength;
}

void encodeJump(std::uint8_t* out, std::uint32_t at, std::uint32_t destination, int length) {
  if (length == kFarJumpLength) {
    // FF 25 xxxxxxxx: JMP [xxxxxxxx], the slot being the next four bytes
    out[0] = 0xFF;
    out[1] = 0x25;
    putWord(out + 2, at + 6);
    putWord(out + 6, destination);
    return;
  }
  // E9 xxxxxxxx: JMP +5+xxxxxxxx (wraps in 32-bit code)
  out[0] = 0xE9;
  putWord(out + 1, destination - at - 5);
}

JumpHop decodeJumpHop(const std::uint8_t* bytes, std::size_t available, std::uint32_t address) {
  JumpHop hop;
  if (available >= 6 && bytes[0] == 0xFF && bytes[1] == 0x25) {
    hop.kind = JumpHop::ThroughSlot;  // FF 25 ssssssss: JMP [ssssssss]
    hop.next = getWord(bytes + 2);
  } else if (available >= 5 && bytes[0] == 0xE9) {
    const auto displacement = static_cast<std::int32_t>(getWord(bytes + 1));
    hop.kind = JumpHop::Direct;  // E9 dddddddd: JMP +5+dddddddd
    hop.next = address + 5 + static_cast<std::uint32_t>(displacement);
  } else if (available >= 2 && bytes[0] == 0xEB && bytes[1] != 0x00 && bytes[1] != 0x80) {
    // EB bb: JMP +2+bb. EB 00 and EB 80 are left alone: padding or a
    // deliberate marker rather than a thunk.
    const auto displacement = static_cast<std::int8_t>(bytes[1]);
    hop.kind = JumpHop::Direct;
    hop.next = address + 2 + static_cast<std::uint32_t>(static_cast<std::int32_t>(displacement));
  }
  return hop;
}

std::string detourMarkerName(std::uint32_t target) {
  char name[32];
  std::snprintf(name, sizeof name, FT("_KVX_DetourFuncPtr_%08x"), static_cast<unsigned>(target));
  return name;
}

}  // namespace ostrel
