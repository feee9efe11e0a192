// Trampoline and patch bytes built on plain buffers with made-up addresses:
// the jump forms, what is moved, what is re-aimed and what is refused.
// Windows-free: runs natively (with sanitizers) and under Wine.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "hooks/JumpEncoding.h"
#include "hooks/TrampolineBuilder.h"

namespace {

using namespace ostrel;

std::uint32_t word(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Where a jump written at `at` lands, read back from its bytes.
std::uint32_t jumpDestination(const std::uint8_t* jump, std::uint32_t at, int length) {
  if (length == kFarJumpLength) {
    EXPECT_EQ(jump[0], 0xFF);
    EXPECT_EQ(jump[1], 0x25);
    EXPECT_EQ(word(jump + 2), at + 6) << "slot must follow the instruction";
    return word(jump + 6);
  }
  EXPECT_EQ(jump[0], 0xE9);
  return at + 5 + word(jump + 1);
}

TEST(JumpForms, LengthFollowsTheDistance) {
  EXPECT_EQ(jumpLengthBetween(0x00401000, 0x10000000), 5);
  EXPECT_EQ(jumpLengthBetween(0x10000000, 0x00401000), 5);
  EXPECT_EQ(jumpLengthBetween(0x00000000, 0x7FFFFFFF), 5);
  EXPECT_EQ(jumpLengthBetween(0x00000000, 0x80000000), 10);
  EXPECT_EQ(jumpLengthBetween(0xFFFF0000, 0x00010000), 10);
}

TEST(JumpForms, BothFormsReachTheirDestination) {
  std::uint8_t buf[10];
  for (std::uint32_t at : {0x00401000u, 0x7FFF0000u, 0xF0000000u}) {
    for (std::uint32_t to : {0x00010000u, 0x00401005u, 0x90000000u, 0xFFFFF000u}) {
      for (int length : {5, 10}) {
        encodeJump(buf, at, to, length);
        EXPECT_EQ(jumpDestination(buf, at, length), to) << std::hex << at << " -> " << to;
      }
    }
  }
}

TEST(JumpChain, HopsAreDecodedAndDegenerateShortJumpsStop) {
  const std::uint8_t near[] = {0xE9, 0xFB, 0x0F, 0x00, 0x00};  // +0x1000 - 5
  JumpHop hop = decodeJumpHop(near, sizeof near, 0x1000);
  EXPECT_EQ(hop.kind, JumpHop::Direct);
  EXPECT_EQ(hop.next, 0x2000u);
  const std::uint8_t back[] = {0xEB, 0xFE};  // to itself
  hop = decodeJumpHop(back, sizeof back, 0x1000);
  EXPECT_EQ(hop.kind, JumpHop::Direct);
  EXPECT_EQ(hop.next, 0x1000u);
  const std::uint8_t fwd[] = {0xEB, 0x7F};
  EXPECT_EQ(decodeJumpHop(fwd, 2, 0x1000).next, 0x1081u);
  const std::uint8_t far[] = {0xEB, 0x81};
  EXPECT_EQ(decodeJumpHop(far, 2, 0x1000).next, 0x1000u + 2 - 127);
  const std::uint8_t slot[] = {0xFF, 0x25, 0x78, 0x56, 0x34, 0x12};
  hop = decodeJumpHop(slot, sizeof slot, 0x1000);
  EXPECT_EQ(hop.kind, JumpHop::ThroughSlot);
  EXPECT_EQ(hop.next, 0x12345678u);
  for (std::uint8_t b : {0x00, 0x80}) {
    const std::uint8_t stop[] = {0xEB, b};
    EXPECT_EQ(decodeJumpHop(stop, 2, 0x1000).kind, JumpHop::Stop) << int(b);
  }
  const std::uint8_t cut[] = {0xE9, 0x00, 0x00};  // not enough readable bytes
  EXPECT_EQ(decodeJumpHop(cut, sizeof cut, 0x1000).kind, JumpHop::Stop);
  const std::uint8_t plain[] = {0x55, 0x8B, 0xEC, 0x90, 0x90, 0x90};
  EXPECT_EQ(decodeJumpHop(plain, sizeof plain, 0x1000).kind, JumpHop::Stop);
}

TEST(JumpChain, MarkerEventNameHasEightLowerCaseDigits) {
  EXPECT_EQ(detourMarkerName(0x0040ABCD), "_KVX_DetourFuncPtr_0040abcd");
  EXPECT_EQ(detourMarkerName(0xFFFFFFFF), "_KVX_DetourFuncPtr_ffffffff");
}

// push ebp; mov ebp, esp; sub esp, 16; mov eax, [ebp+8] ...
const std::vector<std::uint8_t> kPrologue = {0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10, 0x8B, 0x45, 0x08, 0xC3};

TEST(Trampoline, MovesWholeInstructionsThenJumpsBack) {
  const std::uint32_t target = 0x00401000, tramp = 0x00500000;
  const TrampolinePlan plan = planTrampoline(kPrologue.data(), kPrologue.size(), target, tramp, 5, 5);
  ASSERT_TRUE(plan.ok());
  EXPECT_EQ(plan.stolenLength, 6);  // 1 + 2 + 3: the first whole instructions covering 5 bytes
  EXPECT_EQ(plan.size, 11);
  EXPECT_EQ(0, std::memcmp(plan.bytes, kPrologue.data(), 6));
  EXPECT_EQ(jumpDestination(plan.bytes + 6, tramp + 6, 5), target + 6);
}

TEST(Trampoline, FarTrampolineGetsTheTenByteReturnJump) {
  const std::uint32_t target = 0x00401000, tramp = 0x90000000;
  const TrampolinePlan plan = planTrampoline(kPrologue.data(), kPrologue.size(), target, tramp, 10, 10);
  ASSERT_TRUE(plan.ok());
  EXPECT_EQ(plan.stolenLength, 10);  // 1 + 2 + 3 + 3 + 1
  EXPECT_EQ(plan.size, plan.stolenLength + 10);
  EXPECT_EQ(jumpDestination(plan.bytes + plan.stolenLength, tramp + plan.stolenLength, 10),
            target + plan.stolenLength);
}

TEST(Trampoline, PatchIsTheJumpThenNops) {
  std::uint8_t patch[8];
  buildPatch(patch, 8, 0x00401000, 0x10001000, 5);
  EXPECT_EQ(jumpDestination(patch, 0x00401000, 5), 0x10001000u);
  for (int i = 5; i < 8; ++i) EXPECT_EQ(patch[i], 0x90) << i;
  std::uint8_t far[12];
  buildPatch(far, 12, 0x00401000, 0x90001000, 10);
  EXPECT_EQ(jumpDestination(far, 0x00401000, 10), 0x90001000u);
  EXPECT_EQ(far[10], 0x90);
  EXPECT_EQ(far[11], 0x90);
}

TEST(Trampoline, Rel32CallsAndJumpsKeepTheirDestination) {
  const std::uint32_t target = 0x00401000, tramp = 0x00600000;
  // call +0x100; jmp back to a far place
  const std::vector<std::uint8_t> code = {0xE8, 0x00, 0x01, 0x00, 0x00, 0x0F, 0x84, 0x10, 0x00, 0x00, 0x00};
  const TrampolinePlan plan = planTrampoline(code.data(), code.size(), target, tramp, 10, 5);
  ASSERT_TRUE(plan.ok());
  ASSERT_EQ(plan.stolenLength, 11);
  EXPECT_EQ(tramp + 5 + word(plan.bytes + 1), target + 5 + 0x100);     // CALL
  EXPECT_EQ(tramp + 11 + word(plan.bytes + 7), target + 11 + 0x10);    // JE rel32
  const std::vector<std::uint8_t> jmp = {0xE9, 0x00, 0xF0, 0xFF, 0xFF};  // backwards
  const TrampolinePlan j = planTrampoline(jmp.data(), jmp.size(), target, tramp, 5, 5);
  ASSERT_TRUE(j.ok());
  EXPECT_EQ(tramp + 5 + word(j.bytes + 1), target + 5 - 0x1000);
}

TEST(Trampoline, RefusesWhatItCannotCarry) {
  const std::uint32_t target = 0x00401000, tramp = 0x00500000;
  struct Case {
    std::vector<std::uint8_t> code;
    TrampolineRefusal why;
  };
  const Case cases[] = {
      {{0x55, 0x74, 0x10, 0x90, 0x90, 0x90}, TrampolineRefusal::ShortBranch},      // JE rel8
      {{0x55, 0xE3, 0x10, 0x90, 0x90, 0x90}, TrampolineRefusal::ShortBranch},      // JECXZ
      {{0x55, 0x66, 0xE9, 0x10, 0x00, 0x90}, TrampolineRefusal::ShortBranch},      // JMP rel16
      {{0xEB, 0x10, 0x90, 0x90, 0x90, 0x90}, TrampolineRefusal::CodeEndsEarly},    // JMP rel8 then other code
      {{0xC3, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC}, TrampolineRefusal::CodeEndsEarly},    // a one-byte function
      {{0xC2, 0x04, 0x00, 0x55, 0x8B, 0xEC}, TrampolineRefusal::CodeEndsEarly},
      {{0xFF, 0xE0, 0x55, 0x8B, 0xEC, 0x90}, TrampolineRefusal::CodeEndsEarly},    // JMP EAX
      {{0xE8, 0x00, 0x00, 0x00, 0x00, 0x58}, TrampolineRefusal::BranchIntoMoved},  // CALL $+5; POP EAX
      {{0x55, 0xD6, 0x90, 0x90, 0x90, 0x90}, TrampolineRefusal::Undecodable},
      {{0x55, 0x8B}, TrampolineRefusal::Undecodable},                                // ends before 5 bytes
  };
  for (const Case& c : cases) {
    const TrampolinePlan plan = planTrampoline(c.code.data(), c.code.size(), target, tramp, 5, 5);
    EXPECT_EQ(plan.refusal, c.why) << testing::PrintToString(c.code);
    EXPECT_EQ(plan.stolenLength, 0);
    EXPECT_EQ(plan.size, 0);
  }
  // A jump as the last moved instruction is fine: nothing after it is moved.
  const std::vector<std::uint8_t> lastJump = {0x55, 0xE9, 0x00, 0x10, 0x00, 0x00};
  EXPECT_TRUE(planTrampoline(lastJump.data(), lastJump.size(), target, tramp, 5, 5).ok());
}

}  // namespace
