// Detours of real code in this process, under Wine: what the patch and the
// trampoline hold, that the patched function reaches the replacement and the
// trampoline still runs the original, jump chains, the 10-byte forms, the
// cases that must be refused without touching (or reading) anything, and
// putting the host's bytes back.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "ExecutableCode.h"
#include "hooks/CodeDetour.h"
#include "hooks/CodeDetourPlatform.h"

using namespace hooks_test;
using ostrel::CodeDetour;
using ostrel::DetourOutcome;
using ostrel::resolveJumpChain;

// A function in the test program's own image (read-only code pages), with
// fixed bytes: int __cdecl imageAdd(int a, int b) { return a + b; }
asm(".text\n"
    ".p2align 4\n"
    ".globl _imageAdd\n"
    "_imageAdd:\n"
    ".byte 0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x03, 0x45, 0x0C, 0x5D, 0xC3\n");
extern "C" int __cdecl imageAdd(int a, int b);

namespace {

using AddFunction = int(__cdecl*)(int, int);
using IntFunction = int(__cdecl*)();

// push ebp / mov ebp, esp / mov eax, [ebp+8] / add eax, [ebp+12] / pop ebp / ret
const Bytes kAdd = {0x55, 0x8B, 0xEC, 0x8B, 0x45, 0x08, 0x03, 0x45, 0x0C, 0x5D, 0xC3};

AddFunction originalAdd = nullptr;
int replacementCalls = 0;

extern "C" int __cdecl addReplacement(int a, int b) {
  ++replacementCalls;
  return 1000 + (originalAdd ? originalAdd(a, b) : -1);
}

std::uintptr_t replacementAddress() { return reinterpret_cast<std::uintptr_t>(&addReplacement); }

int callAdd(std::uintptr_t function, int a, int b) { return reinterpret_cast<AddFunction>(function)(a, b); }
int callInt(std::uintptr_t function) { return reinterpret_cast<IntFunction>(function)(); }

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t count) {
  return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(from + count));
}

Bytes word(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::string markerName(std::uintptr_t target) {
  char name[32];
  std::snprintf(name, sizeof name, "_KVX_DetourFuncPtr_%08x", static_cast<unsigned>(target));
  return name;
}

bool eventExists(const std::string& name) {
  HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, name.c_str());
  if (!event) return false;
  CloseHandle(event);
  return true;
}

std::uint32_t distance(std::uintptr_t a, std::uintptr_t b) {
  return static_cast<std::uint32_t>(a > b ? a - b : b - a);
}

// Beyond a 5-byte jump's reach: more than 0x7FFFFFFF bytes apart.
constexpr std::uintptr_t kFar = 0x80000000u;

// Trampolines taken only inside [from, to) while this lives.
struct TrampolinesWithin {
  TrampolinesWithin(std::uintptr_t from, std::uintptr_t to) { ostrel::detour_platform::setTrampolineRange({from, to}); }
  ~TrampolinesWithin() { ostrel::detour_platform::setTrampolineRange({}); }
};

// The lowest 64 KiB are never handed out; nor is the top 64 KiB.
constexpr std::uintptr_t kLowest = 0x10000;
constexpr std::uintptr_t kTop = 0xFFFF0000u;

// Code more than 2 GiB above `address` (the test program is large-address
// aware), as high as the process has room for, so that as much as possible
// lies more than 2 GiB below it too; null when there is no room up there.
std::unique_ptr<CodeArena> farAbove(std::uintptr_t address) {
  const std::uintptr_t lowest = address + kFar + 0x10000;
  for (std::uintptr_t from : {std::max<std::uintptr_t>(lowest, 0xC0000000u), lowest}) {
    auto arena = std::make_unique<CodeArena>(from, kTop);
    if (arena->ok()) return arena;
  }
  return nullptr;
}

#define SKIP_UNLESS(condition, what)                                                         \
  if (!(condition))                                                                          \
  GTEST_SKIP() << "skipped: no free memory " what " in this process (the system's address " \
                  "space leaves none), so the far jump form cannot be forced here"

class Detours : public ::testing::Test {
 protected:
  void SetUp() override {
    originalAdd = nullptr;
    replacementCalls = 0;
    ASSERT_TRUE(arena.ok());
  }
  CodeArena arena;
};

TEST_F(Detours, NearPatchIsJumpThenNopsAndTrampolineRunsTheOriginal) {
  // Target and trampoline both below 2 GiB: within a 5-byte jump of each other.
  CodeArena low(kLowest, kFar - 0x10000);
  ASSERT_TRUE(low.ok());
  const std::uintptr_t f = low.place(kAdd);
  const TrampolinesWithin reach(kLowest, kFar - 0x10000);
  CodeDetour detour(f, replacementAddress());
  ASSERT_EQ(detour.enable(), DetourOutcome::Enabled);
  EXPECT_EQ(detour.target(), f);
  EXPECT_EQ(detour.patchJumpLength(), 5);
  // 55 | 8B EC | 8B 45 08: the first whole instructions covering 5 bytes.
  EXPECT_EQ(detour.stolenLength(), 6);
  EXPECT_EQ(bytesAt(f, 6), jmpRel32(f, replacementAddress()) + Bytes{0x90});
  EXPECT_EQ(bytesAt(f + 6, 5), slice(kAdd, 6, 5)) << "bytes past the patch must stay";

  const std::uintptr_t trampoline = detour.trampolineEntry();
  ASSERT_NE(trampoline, 0u);
  EXPECT_EQ(detour.returnJumpLength(), 5);
  EXPECT_EQ(detour.trampolineSize(), 11u);
  EXPECT_EQ(bytesAt(trampoline, 6), slice(kAdd, 0, 6));
  EXPECT_EQ(bytesAt(trampoline + 6, 5), jmpRel32(trampoline + 6, f + 6));

  EXPECT_EQ(callAdd(trampoline, 2, 3), 5) << "the trampoline runs the function as it was";
  originalAdd = reinterpret_cast<AddFunction>(trampoline);
  EXPECT_EQ(callAdd(f, 2, 3), 1005) << "the patched function runs the replacement";
  EXPECT_EQ(replacementCalls, 1);
}

TEST_F(Detours, ImageCodeIsPatchedAndRestoredByTheMarkerOwner) {
  const std::uintptr_t f = reinterpret_cast<std::uintptr_t>(&imageAdd);
  ASSERT_EQ(bytesAt(f, kAdd.size()), kAdd);
  {
    CodeDetour detour(f, replacementAddress(), CodeDetour::WithMarkerEvent{});
    ASSERT_EQ(detour.enable(), DetourOutcome::Enabled) << "read-only image code is unprotected for the patch";
    EXPECT_NE(detour.markerEvent(), nullptr);
    EXPECT_TRUE(eventExists(markerName(f)));
    originalAdd = reinterpret_cast<AddFunction>(detour.trampolineEntry());
    EXPECT_EQ(imageAdd(20, 22), 1042);
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(reinterpret_cast<void*>(f), &info, sizeof info);
    EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ)) << "old protection put back";
  }  // the destructor disables
  EXPECT_EQ(bytesAt(f, kAdd.size()), kAdd);
  EXPECT_FALSE(eventExists(markerName(f)));
  EXPECT_EQ(imageAdd(20, 22), 42);
}

TEST_F(Detours, Rel32CallIsCarriedOverAndRestoredAsItWas) {
  const std::uintptr_t helper = arena.place({0xB8, 0x07, 0x00, 0x00, 0x00, 0xC3});  // mov eax, 7; ret
  const std::uintptr_t f = arena.nextAddress();
  // call helper / add eax, 1 / ret
  const Bytes code = callRel32(f, helper) + Bytes{0x83, 0xC0, 0x01, 0xC3};
  ASSERT_EQ(arena.place(code), f);
  ASSERT_EQ(callInt(f), 8);

  CodeDetour detour(f, replacementAddress(), CodeDetour::WithMarkerEvent{});
  ASSERT_EQ(detour.enable(), DetourOutcome::Enabled);
  EXPECT_EQ(detour.stolenLength(), 5);
  const std::uintptr_t trampoline = detour.trampolineEntry();
  EXPECT_EQ(bytesAt(trampoline, 5), callRel32(trampoline, helper)) << "re-aimed at the same helper";
  EXPECT_EQ(callInt(trampoline), 8);

  detour.disable();
  EXPECT_EQ(bytesAt(f, code.size()), code) << "the host's own bytes, not the re-aimed copy";
  EXPECT_EQ(callInt(f), 8);
  EXPECT_EQ(detour.trampolineEntry(), 0u);
  EXPECT_FALSE(detour.enabled());
}

TEST_F(Detours, RemovingWithoutMarkerKeepsPatchAndTrampolineAlive) {
  const std::uintptr_t f = arena.place(kAdd);
  auto* detour = new CodeDetour(f, replacementAddress());
  ASSERT_EQ(detour->enable(), DetourOutcome::Enabled);
  EXPECT_EQ(detour->enable(), DetourOutcome::AlreadyEnabled) << "enabling twice";
  const std::uintptr_t trampoline = detour->trampolineEntry();
  const Bytes patched = bytesAt(f, 6);
  originalAdd = reinterpret_cast<AddFunction>(trampoline);
  delete detour;
  // The patch stays (nobody owns the marker), so the replacement still runs
  // the host function through the trampoline it was given.
  EXPECT_EQ(bytesAt(f, 6), patched);
  EXPECT_EQ(callAdd(f, 1, 2), 1003);
}

TEST_F(Detours, AnotherOwnerOfTheMarkerKeepsTheRestoringToItself) {
  const std::uintptr_t f = arena.place(kAdd);
  HANDLE other = CreateEventA(nullptr, FALSE, FALSE, markerName(f).c_str());
  ASSERT_NE(other, nullptr);
  {
    CodeDetour detour(f, replacementAddress(), CodeDetour::WithMarkerEvent{});
    ASSERT_EQ(detour.enable(), DetourOutcome::Enabled);
    EXPECT_EQ(detour.markerEvent(), nullptr);
    originalAdd = reinterpret_cast<AddFunction>(detour.trampolineEntry());
  }
  EXPECT_EQ(bytesAt(f, 1), Bytes{0xE9}) << "not restored";
  EXPECT_EQ(callAdd(f, 1, 2), 1003);
  EXPECT_TRUE(eventExists(markerName(f))) << "the other owner's event is untouched";
  CloseHandle(other);
}

TEST_F(Detours, JumpChainsAreFollowedToTheCode) {
  const std::uintptr_t real = arena.place(kAdd);
  // E9 thunk in front of the function.
  const std::uintptr_t thunk = arena.nextAddress();
  ASSERT_EQ(arena.place(jmpRel32(thunk, real)), thunk);
  EXPECT_EQ(resolveJumpChain(thunk), real);

  // EB forward to FF 25 through a slot, to the code; and EB backwards.
  const std::uintptr_t slot = arena.place(word(static_cast<std::uint32_t>(real)));
  const std::uintptr_t shortJump = arena.place(jmpRel8(14));  // to shortJump + 16
  ASSERT_EQ(arena.place(jmpThroughSlot(slot)), shortJump + 16);
  EXPECT_EQ(resolveJumpChain(shortJump), real);
  const std::uintptr_t backJump = arena.place(jmpRel8(-18));  // to the FF 25 16 bytes before
  EXPECT_EQ(resolveJumpChain(backJump), real);

  // Detouring the thunk patches the function; the thunk stays a jump to it.
  const std::uintptr_t marked = arena.nextAddress();
  ASSERT_EQ(arena.place(jmpRel32(marked, shortJump)), marked);
  CodeDetour detour(marked, replacementAddress(), CodeDetour::WithMarkerEvent{});
  ASSERT_EQ(detour.enable(), DetourOutcome::Enabled);
  EXPECT_EQ(detour.target(), real);
  EXPECT_EQ(bytesAt(marked, 5), jmpRel32(marked, shortJump));
  EXPECT_EQ(bytesAt(real, 1), Bytes{0xE9});
  EXPECT_TRUE(eventExists(markerName(marked))) << "the marker names the address asked for";
  originalAdd = reinterpret_cast<AddFunction>(detour.trampolineEntry());
  EXPECT_EQ(callAdd(marked, 4, 5), 1009);
}

// What the Reset check remembers of a chain: any byte it was decoded from
// that changes (the entry's jump, a slot, a byte of a short jump, the code at
// the end, where an overlay writes its jump) makes it walk again; the same
// bytes put back make the remembered chain hold again.
TEST_F(Detours, AWalkedChainHoldsUntilAByteItWasDecodedFromChanges) {
  const std::uintptr_t real = arena.place(kAdd);
  const std::uintptr_t other = arena.place(kAdd);
  const std::uintptr_t slot = arena.place(word(static_cast<std::uint32_t>(real)));
  const std::uintptr_t shortJump = arena.place(jmpRel8(14));  // to the FF 25 16 bytes on
  ASSERT_EQ(arena.place(jmpThroughSlot(slot)), shortJump + 16);
  const std::uintptr_t thunk = arena.nextAddress();
  ASSERT_EQ(arena.place(jmpRel32(thunk, shortJump)), thunk);

  const ostrel::JumpChain chain = ostrel::JumpChain::walk(thunk);
  ASSERT_EQ(chain.end(), real);
  EXPECT_TRUE(chain.unchangedFrom(thunk));
  EXPECT_FALSE(chain.unchangedFrom(shortJump)) << "walked from another start";

  struct Change {
    const char* what;
    std::uintptr_t at;
    Bytes bytes;
    std::uintptr_t newEnd;
  };
  const Change changes[] = {
      {"the entry's jump re-aimed", thunk, jmpRel32(thunk, other), other},
      {"the slot's value", slot, word(static_cast<std::uint32_t>(other)), other},
      {"a byte after the short jump", shortJump + 5, {static_cast<std::uint8_t>(bytesAt(shortJump + 5, 1)[0] ^ 0xFF)}, real},
      {"a jump written over the code at the end", real, jmpRel32(real, other), other},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    const Bytes before = bytesAt(c.at, c.bytes.size());
    std::memcpy(reinterpret_cast<void*>(c.at), c.bytes.data(), c.bytes.size());
    EXPECT_FALSE(chain.unchangedFrom(thunk));
    EXPECT_EQ(ostrel::JumpChain::walk(thunk).end(), c.newEnd);
    std::memcpy(reinterpret_cast<void*>(c.at), before.data(), before.size());
    EXPECT_TRUE(chain.unchangedFrom(thunk));
  }

  // A chain that met memory it may not read is walked again every time.
  ReservedPage reserved;
  const std::uintptr_t toHole = arena.nextAddress();
  arena.place(jmpRel32(toHole, reserved.address));
  const ostrel::JumpChain cut = ostrel::JumpChain::walk(toHole);
  EXPECT_EQ(cut.end(), reserved.address);
  EXPECT_FALSE(cut.unchangedFrom(toHole));
}

TEST_F(Detours, DegenerateAndEndlessJumpsAreNotFollowed) {
  for (std::int8_t displacement : {0x00, -128}) {  // EB 00, EB 80
    const std::uintptr_t at = arena.place(jmpRel8(displacement) + kAdd);
    EXPECT_EQ(resolveJumpChain(at), at) << int(displacement);
  }
  const std::uintptr_t self = arena.place(jmpRel8(-2));  // EB FE: jumps to itself
  EXPECT_EQ(resolveJumpChain(self), self);
  const std::uintptr_t a = arena.nextAddress();
  const std::uintptr_t b = a + 16;
  arena.place(jmpRel32(a, b));
  arena.place(jmpRel32(b, a));  // a ring of two
  const std::uintptr_t end = resolveJumpChain(a);
  EXPECT_TRUE(end == a || end == b);
  CodeDetour detour(self, replacementAddress());
  EXPECT_EQ(detour.enable(), DetourOutcome::CodeEndsEarly) << "a jump to itself ends the code before the patch";
  EXPECT_EQ(bytesAt(self, 2), jmpRel8(-2));
}

TEST_F(Detours, FarTargetGetsTenByteJumpsBothWays) {
  // The target more than 2 GiB above the replacement, the trampoline more
  // than 2 GiB below the target: both jumps need the 10-byte form.
  const auto high = farAbove(replacementAddress());
  SKIP_UNLESS(high, "2 GiB above the test's code");
  const std::uintptr_t f = high->place(kAdd);
  const TrampolinesWithin below(kLowest, f - kFar);
  CodeDetour detour(f, replacementAddress());
  SKIP_UNLESS(detour.trampolineEntry() != 0, "for a trampoline 2 GiB below the high code");
  ASSERT_EQ(detour.enable(), DetourOutcome::Enabled);
  EXPECT_EQ(detour.patchJumpLength(), 10);
  // 1 + 2 + 3 + 3 = 9 bytes do not cover 10: the pop is moved too.
  EXPECT_EQ(detour.stolenLength(), 10);
  const Bytes farPatch = Bytes{0xFF, 0x25} + word(static_cast<std::uint32_t>(f + 6)) +
                         word(static_cast<std::uint32_t>(replacementAddress()));
  EXPECT_EQ(bytesAt(f, 10), farPatch);
  const std::uintptr_t trampoline = detour.trampolineEntry();
  ASSERT_GT(distance(trampoline, f), 0x7FFFFFFFu);
  EXPECT_EQ(detour.returnJumpLength(), 10);
  EXPECT_EQ(detour.trampolineSize(), 20u);
  EXPECT_EQ(bytesAt(trampoline, 10), slice(kAdd, 0, 10));
  const Bytes farReturn = Bytes{0xFF, 0x25} + word(static_cast<std::uint32_t>(trampoline + 16)) +
                          word(static_cast<std::uint32_t>(f + 10));
  EXPECT_EQ(bytesAt(trampoline + 10, 10), farReturn);
  EXPECT_EQ(callAdd(trampoline, 30, 12), 42);
  originalAdd = reinterpret_cast<AddFunction>(trampoline);
  EXPECT_EQ(callAdd(f, 30, 12), 1042);
}

// A replacement out of reach with the trampoline within it: a 10-byte patch
// and a 5-byte return jump.
TEST_F(Detours, FarReplacementWithNearTrampoline) {
  const auto high = farAbove(kLowest);
  SKIP_UNLESS(high, "above 2 GiB");
  const std::uintptr_t replacement = high->place({0xB8, 0x2A, 0x00, 0x00, 0x00, 0xC3});  // return 42
  CodeArena low(kLowest, replacement - kFar);
  SKIP_UNLESS(low.ok(), "2 GiB below the high code");
  const std::uintptr_t f = low.place(kAdd);
  ASSERT_GT(distance(replacement, f), 0x7FFFFFFFu);
  // Anywhere from the bottom to within 2 GiB above the target.
  const TrampolinesWithin reach(kLowest, f + 0x7FFF0000u);
  CodeDetour detour(f, replacement);
  ASSERT_NE(detour.trampolineEntry(), 0u) << "the low code's own range has room: it holds the target";
  ASSERT_EQ(detour.enable(), DetourOutcome::Enabled);
  EXPECT_EQ(detour.patchJumpLength(), 10);
  EXPECT_EQ(bytesAt(f, 2), (Bytes{0xFF, 0x25}));
  EXPECT_EQ(wordAt(f + 2), f + 6);
  EXPECT_EQ(wordAt(f + 6), replacement);
  const std::uintptr_t trampoline = detour.trampolineEntry();
  EXPECT_LE(distance(trampoline, f), 0x7FFFFFFFu);
  EXPECT_EQ(detour.returnJumpLength(), 5);
  EXPECT_EQ(detour.stolenLength(), 10);
  EXPECT_EQ(bytesAt(trampoline + 10, 5), jmpRel32(trampoline + 10, f + 10));
  EXPECT_EQ(callAdd(f, 1, 1), 42);
  EXPECT_EQ(callAdd(trampoline, 1, 1), 2);
}

// A refused detour names why, leaves no entry and the code as it was.
void expectRefused(std::uintptr_t target, std::size_t readable, DetourOutcome expected, const char* why) {
  const Bytes before = readable ? bytesAt(target, readable) : Bytes{};
  CodeDetour detour(target, replacementAddress());
  EXPECT_EQ(detour.enable(), expected) << why;
  EXPECT_FALSE(detour.enabled()) << why;
  EXPECT_EQ(detour.trampolineEntry(), 0u) << why;
  EXPECT_EQ(detour.stolenLength(), 0) << why;
  if (readable) {
    EXPECT_EQ(bytesAt(target, readable), before) << why;
  }
}

TEST_F(Detours, CodeThatCannotBeMovedIsRefusedUntouched) {
  struct Case {
    Bytes code;
    DetourOutcome outcome;
    const char* why;
  };
  const Case cases[] = {
      {{0x55, 0x0F, 0x04, 0x8B, 0xEC, 0x90, 0x90, 0xC3}, DetourOutcome::Undecodable, "0F 04 is not an instruction"},
      {{0x55, 0x74, 0x03, 0x8B, 0xEC, 0x5D, 0xC3}, DetourOutcome::ShortBranch, "JE rel8 among the moved bytes"},
      {{0x55, 0xE3, 0x03, 0x8B, 0xEC, 0x5D, 0xC3}, DetourOutcome::ShortBranch, "JECXZ among the moved bytes"},
      {{0x55, 0x66, 0xE9, 0x01, 0x00, 0x90, 0xC3}, DetourOutcome::ShortBranch, "JMP rel16 among the moved bytes"},
      {{0xC3, 0x55, 0x8B, 0xEC, 0x5D, 0xC3}, DetourOutcome::CodeEndsEarly, "a RET ends the function first"},
      {{0xE8, 0x00, 0x00, 0x00, 0x00, 0x58, 0xC3}, DetourOutcome::BranchIntoMoved, "CALL $+5 reads its own address"},
      // A jump back into the bytes the patch replaces.
      {Bytes{0x55, 0x90} + Bytes{0x0F, 0x85} + word(static_cast<std::uint32_t>(-7)) + Bytes{0xC3},
       DetourOutcome::BranchIntoMoved, "JNE rel32 back into the moved bytes"},
  };
  for (const Case& c : cases) expectRefused(arena.place(c.code), c.code.size(), c.outcome, c.why);
}

// The refusals' texts end the log line that says why a detour is missing.
TEST(DetourOutcomes, EveryOutcomeHasItsOwnText) {
  const std::pair<DetourOutcome, std::string> texts[] = {
      {DetourOutcome::Enabled, "patched"},
      {DetourOutcome::AlreadyEnabled, "already patched"},
      {DetourOutcome::NothingReadable, "no readable code there"},
      {DetourOutcome::NoMemory, "no memory for the trampoline"},
      {DetourOutcome::Undecodable, "an instruction there cannot be decoded"},
      {DetourOutcome::CodeEndsEarly, "the code there ends before the patch would"},
      {DetourOutcome::ShortBranch, "a short branch there cannot be moved"},
      {DetourOutcome::BranchIntoMoved, "a branch there leads into the moved bytes"},
      {DetourOutcome::ProtectionRefused, "the memory protection cannot be changed"},
  };
  for (const auto& [outcome, text] : texts) EXPECT_EQ(ostrel::outcomeText(outcome), text);
  using ostrel::TrampolineRefusal;
  EXPECT_EQ(ostrel::outcomeOf(TrampolineRefusal::Undecodable), DetourOutcome::Undecodable);
  EXPECT_EQ(ostrel::outcomeOf(TrampolineRefusal::CodeEndsEarly), DetourOutcome::CodeEndsEarly);
  EXPECT_EQ(ostrel::outcomeOf(TrampolineRefusal::ShortBranch), DetourOutcome::ShortBranch);
  EXPECT_EQ(ostrel::outcomeOf(TrampolineRefusal::BranchIntoMoved), DetourOutcome::BranchIntoMoved);
}

TEST_F(Detours, CreatingPatchesNothingAndTheWrittenTrampolineIsReadExecute) {
  const std::uintptr_t f = arena.place(kAdd);
  CodeDetour detour(f, replacementAddress());
  EXPECT_EQ(bytesAt(f, kAdd.size()), kAdd) << "nothing patched on creation";
  EXPECT_FALSE(detour.enabled());
  const std::uintptr_t trampoline = detour.trampolineEntry();
  ASSERT_NE(trampoline, 0u) << "known before the patch goes live";
  EXPECT_EQ(callAdd(f, 2, 3), 5);

  ASSERT_EQ(detour.enable(), DetourOutcome::Enabled);
  EXPECT_EQ(detour.trampolineEntry(), trampoline) << "the address handed out before enabling";
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_EQ(VirtualQuery(reinterpret_cast<void*>(trampoline), &info, sizeof info), sizeof info);
  EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ)) << "not writable once written";
  EXPECT_EQ(detour.enable(), DetourOutcome::AlreadyEnabled);
  originalAdd = reinterpret_cast<AddFunction>(trampoline);
  EXPECT_EQ(callAdd(f, 2, 3), 1005);
}

TEST_F(Detours, MemoryThatMayNotBeReadIsRefusedWithoutReading) {
  ReservedPage reserved;
  ASSERT_NE(reserved.address, 0u);
  expectRefused(reserved.address, 0, DetourOutcome::NothingReadable, "reserved, not committed");
  ProtectedPage noAccess(PAGE_NOACCESS);
  expectRefused(noAccess.address, 0, DetourOutcome::NothingReadable, "no access");
  ProtectedPage guard(PAGE_EXECUTE_READWRITE | PAGE_GUARD);
  expectRefused(guard.address, 0, DetourOutcome::NothingReadable, "guard page");
  ProtectedPage executeOnly(PAGE_EXECUTE);
  expectRefused(executeOnly.address, 0, DetourOutcome::NothingReadable, "execute-only");
  expectRefused(0, 0, DetourOutcome::NothingReadable, "null");
  // The guard page was never touched: it still raises its one exception.
  MEMORY_BASIC_INFORMATION info{};
  VirtualQuery(reinterpret_cast<void*>(guard.address), &info, sizeof info);
  EXPECT_TRUE(info.Protect & PAGE_GUARD);

  // A function whose first instructions run into uncommitted memory.
  EdgeOfCommitted edge;
  ASSERT_NE(edge.region, 0u);
  const std::uintptr_t cut = edge.placeAtEdge({0x55, 0x8B, 0xEC});
  expectRefused(cut, 3, DetourOutcome::Undecodable, "the moved instructions would run past committed memory");

  // Jump chains into memory that may not be read stop there, unread.
  const std::uintptr_t toHole = arena.nextAddress();
  arena.place(jmpRel32(toHole, reserved.address));
  EXPECT_EQ(resolveJumpChain(toHole), reserved.address);
  expectRefused(toHole, 5, DetourOutcome::NothingReadable, "a thunk into reserved memory");
  const std::uintptr_t slotInHole = arena.place(jmpThroughSlot(noAccess.address));
  EXPECT_EQ(resolveJumpChain(slotInHole), slotInHole) << "the slot cannot be read";
  const std::uintptr_t jumpAtEdge = edge.placeAtEdge({0xE9, 0x00});  // displacement cut off
  EXPECT_EQ(resolveJumpChain(jumpAtEdge), jumpAtEdge);
}

}  // namespace
