// The overlay's trampoline planner on the entry forms it meets: whole
// instructions copied, a jump or call found at the entry moved with its
// target kept, anything unknown refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "PrologueCopy.h"

using simhost_overlay::planPrologueCopy;

namespace {

constexpr std::uint32_t kEntry = 0x7E001000, kTrampoline = 0x00A10000;

std::uint32_t jumpTarget(const std::vector<std::uint8_t>& code, std::size_t at, std::uint32_t codeAddress) {
  std::uint32_t rel;
  std::memcpy(&rel, &code[at + 1], 4);
  return codeAddress + static_cast<std::uint32_t>(at) + 5 + rel;
}

struct Form {
  const char* what;
  std::vector<std::uint8_t> code;
  std::size_t copied;  // 0: refused
};

TEST(PrologueCopy, CopiesWholeInstructionsAndJumpsBackAfterThem) {
  const Form forms[] = {
      {"hot-patch prologue", {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10}, 5},
      {"frame set-up and pushes", {0x55, 0x89, 0xE5, 0x57, 0x56, 0x53, 0x83, 0xEC, 0x2C}, 5},
      {"stack realignment", {0x8D, 0x4C, 0x24, 0x04, 0x83, 0xE4, 0xF0, 0xFF, 0x71, 0xFC}, 7},
      {"argument load", {0x53, 0x8B, 0x44, 0x24, 0x08, 0x8B, 0x10}, 5},
      {"large frame", {0x81, 0xEC, 0x00, 0x01, 0x00, 0x00, 0x90}, 6},
      {"short jump", {0xEB, 0x00, 0x55, 0x89, 0xE5}, 0},
      {"conditional jump inside", {0x55, 0x74, 0x03, 0x89, 0xE5, 0x90}, 0},
  };
  for (const Form& f : forms) {
    SCOPED_TRACE(f.what);
    std::vector<std::uint8_t> code = f.code;
    code.resize(16, 0xCC);
    const auto plan = planPrologueCopy(code.data(), code.size(), kEntry, kTrampoline);
    ASSERT_EQ(plan.ok, f.copied != 0) << plan.refusal;
    if (!plan.ok) {
      EXPECT_NE(plan.refusal.find("not understood"), std::string::npos);
      continue;
    }
    EXPECT_EQ(plan.copied, f.copied);
    ASSERT_EQ(plan.trampoline.size(), f.copied + 5);
    EXPECT_EQ(0, std::memcmp(plan.trampoline.data(), code.data(), f.copied));
    EXPECT_EQ(plan.trampoline[f.copied], 0xE9);
    EXPECT_EQ(jumpTarget(plan.trampoline, f.copied, kTrampoline), kEntry + f.copied) << "back behind the copy";
  }
}

// Another tool's jump at the entry: the trampoline jumps where it did.
TEST(PrologueCopy, MovesAJumpFoundAtTheEntryWithItsTarget) {
  std::vector<std::uint8_t> code = {0xE9, 0x00, 0x00, 0x00, 0x00};
  const std::uint32_t elsewhere = 0x10203040, rel = elsewhere - (kEntry + 5);
  std::memcpy(&code[1], &rel, 4);
  code.resize(16, 0xCC);
  const auto plan = planPrologueCopy(code.data(), code.size(), kEntry, kTrampoline);
  ASSERT_TRUE(plan.ok) << plan.refusal;
  EXPECT_EQ(plan.copied, 5u);
  ASSERT_EQ(plan.trampoline.size(), 5u) << "nothing after a jump runs";
  EXPECT_EQ(jumpTarget(plan.trampoline, 0, kTrampoline), elsewhere);

  // A call in the copied bytes keeps its target too.
  std::vector<std::uint8_t> withCall = {0x55, 0xE8, 0, 0, 0, 0, 0x5D};
  const std::uint32_t callee = 0x10000000, callRel = callee - (kEntry + 6);
  std::memcpy(&withCall[2], &callRel, 4);
  withCall.resize(16, 0xCC);
  const auto called = planPrologueCopy(withCall.data(), withCall.size(), kEntry, kTrampoline);
  ASSERT_TRUE(called.ok);
  EXPECT_EQ(called.copied, 6u);
  EXPECT_EQ(jumpTarget(called.trampoline, 1, kTrampoline), callee);
  EXPECT_EQ(jumpTarget(called.trampoline, 6, kTrampoline), kEntry + 6);
}

}  // namespace
