#include "hooks/CodeDetour.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "hooks/CodeDetourPlatform.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel {
namespace {

namespace os = detour_platform;

// Enough for the longest patch (10) less one, plus the longest instruction.
constexpr std::size_t kCodeWindow = 32;
static_assert(kCodeWindow <= kTrampolineCapacity, "the window is copied into a trampoline-sized buffer");

std::uint32_t address32(std::uintptr_t address) { return static_cast<std::uint32_t>(address); }

void logRefusal(std::uintptr_t target, const char* why) {
  char line[160];
  std::snprintf(line, sizeof line, FT("Detour at %08x not installed: %s"),
                static_cast<unsigned>(address32(target)), why);
  logText(line);
}

}  // namespace

const char* outcomeText(DetourOutcome outcome) {
  switch (outcome) {
    case DetourOutcome::Enabled: return FT("patched");
    case DetourOutcome::AlreadyEnabled: return FT("already patched");
    case DetourOutcome::NothingReadable: return FT("no readable code there");
    case DetourOutcome::NoMemory: return FT("no memory for the trampoline");
    case DetourOutcome::Undecodable: return FT("an instruction there cannot be decoded");
    case DetourOutcome::CodeEndsEarly: return FT("the code there ends before the patch would");
    case DetourOutcome::ShortBranch: return FT("a short branch there cannot be moved");
    case DetourOutcome::BranchIntoMoved: return FT("a branch there leads into the moved bytes");
    case DetourOutcome::ProtectionRefused: return FT("the memory protection cannot be changed");
  }
  return "";
}

DetourOutcome outcomeOf(TrampolineRefusal refusal) {
  switch (refusal) {
    case TrampolineRefusal::Undecodable: return DetourOutcome::Undecodable;
    case TrampolineRefusal::CodeEndsEarly: return DetourOutcome::CodeEndsEarly;
    case TrampolineRefusal::ShortBranch: return DetourOutcome::ShortBranch;
    case TrampolineRefusal::BranchIntoMoved: return DetourOutcome::BranchIntoMoved;
    case TrampolineRefusal::None: break;
  }
  return DetourOutcome::Enabled;
}

std::uintptr_t resolveJumpChain(std::uintptr_t address) { return JumpChain::walk(address).end(); }

JumpChain JumpChain::walk(std::uintptr_t from) {
  JumpChain chain;
  chain.start_ = from;
  chain.whole_ = true;
  std::uintptr_t address = from;
  for (int hop = 0; hop < kMaxJumpHops; ++hop) {
    std::uint8_t bytes[6];
    const std::size_t available = os::readableBytes(address, sizeof bytes);
    if (available == 0) {
      chain.whole_ = false;
      break;
    }
    std::memcpy(bytes, reinterpret_cast<const void*>(address), available);
    // Fewer bytes than asked for: what follows may become readable and decode otherwise.
    if (!chain.add(address, bytes, available) || available < sizeof bytes) chain.whole_ = false;
    const JumpHop next = decodeJumpHop(bytes, available, address32(address));
    if (next.kind == JumpHop::Stop) break;
    if (next.kind == JumpHop::Direct) {
      address = next.next;
      continue;
    }
    // Through a slot: the slot itself must be readable too.
    if (os::readableBytes(next.next, 4) < 4) {
      chain.whole_ = false;
      break;
    }
    std::uint32_t destination;
    std::memcpy(&destination, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(next.next)), 4);
    if (!chain.add(next.next, reinterpret_cast<const std::uint8_t*>(&destination), 4)) chain.whole_ = false;
    address = destination;
  }
  chain.end_ = address;
  return chain;
}

bool JumpChain::add(std::uintptr_t address, const std::uint8_t* bytes, std::size_t size) {
  if (readCount_ == kMaxReads) return false;
  Read& r = reads_[readCount_++];
  r.address = address;
  r.size = static_cast<std::uint8_t>(size);
  std::memcpy(r.bytes, bytes, size);
  return true;
}

bool JumpChain::unchangedFrom(std::uintptr_t from) const {
  if (!whole_ || readCount_ == 0 || from != start_) return false;
  for (int i = 0; i < readCount_; ++i) {
    const Read& r = reads_[i];
    if (std::memcmp(reinterpret_cast<const void*>(r.address), r.bytes, r.size) != 0) return false;
  }
  return true;
}

CodeDetour::CodeDetour(std::uintptr_t targetAddress, std::uintptr_t replacementAddress)
    : requestedTarget_(targetAddress), target_(targetAddress), replacement_(replacementAddress) {
  // Taken now, so the trampoline's address can be handed out before enable().
  trampoline_ = os::allocateTrampoline(kTrampolineCapacity);
}

CodeDetour::CodeDetour(std::uintptr_t targetAddress, std::uintptr_t replacementAddress, WithMarkerEvent)
    : CodeDetour(targetAddress, replacementAddress) {
  wantsMarkerEvent_ = true;
}

CodeDetour::~CodeDetour() { disable(); }

DetourOutcome CodeDetour::enable() {
  DetourOutcome outcome = DetourOutcome::NoMemory;
  try {
    outcome = patch();
  } catch (...) {
    // Only the marker's name could throw (memory), before anything is patched.
    releaseTrampoline();
  }
  if (outcome == DetourOutcome::Enabled || outcome == DetourOutcome::AlreadyEnabled) return outcome;
  try {
    logRefusal(requestedTarget_, outcomeText(outcome));
  } catch (...) {
  }
  return outcome;
}

DetourOutcome CodeDetour::patch() {
  if (enabled_) return DetourOutcome::AlreadyEnabled;
  target_ = resolveJumpChain(requestedTarget_);
  stolenLength_ = 0;

  // Never read what the process may not read: the host may be of another
  // build, with nothing at the expected address.
  std::uint8_t code[kCodeWindow] = {};
  const std::size_t available = os::readableBytes(target_, sizeof code);
  if (available == 0) {
    releaseTrampoline();
    return DetourOutcome::NothingReadable;
  }
  std::memcpy(code, reinterpret_cast<const void*>(target_), available);

  // Named after the address the caller asked for, before the chain; made
  // first, so nothing after the patch can throw.
  const std::string markerName = wantsMarkerEvent_ ? detourMarkerName(address32(requestedTarget_)) : std::string();
  // A detour disabled before (or refused) has given its memory up.
  if (trampoline_ == nullptr) trampoline_ = os::allocateTrampoline(kTrampolineCapacity);
  if (trampoline_ == nullptr) return DetourOutcome::NoMemory;
  const auto trampolineAddress = reinterpret_cast<std::uintptr_t>(trampoline_);
  patchJumpLength_ = jumpLengthBetween(address32(target_), address32(replacement_));
  returnJumpLength_ = jumpLengthBetween(address32(target_), address32(trampolineAddress));

  const TrampolinePlan plan = planTrampoline(code, available, address32(target_), address32(trampolineAddress),
                                             patchJumpLength_, returnJumpLength_);
  if (!plan.ok()) {
    releaseTrampoline();
    return outcomeOf(plan.refusal);
  }
  std::memcpy(trampoline_, plan.bytes, static_cast<std::size_t>(plan.size));
  std::uint8_t patchBytes[kTrampolineCapacity];
  buildPatch(patchBytes, plan.stolenLength, address32(target_), address32(replacement_), patchJumpLength_);
  if (!os::makeReadExecute(trampoline_, static_cast<std::size_t>(plan.size)) ||
      !os::writeCode(target_, patchBytes, static_cast<std::size_t>(plan.stolenLength))) {
    releaseTrampoline();
    return DetourOutcome::ProtectionRefused;
  }

  std::memcpy(original_, code, static_cast<std::size_t>(plan.stolenLength));
  trampolineSize_ = static_cast<std::size_t>(plan.size);
  stolenLength_ = plan.stolenLength;
  if (wantsMarkerEvent_) {
    // Another detour of the process owning the name keeps the restoring to itself.
    bool otherOwner = false;
    markerEvent_ = os::createMarkerEvent(markerName.c_str(), otherOwner);
  }
  enabled_ = true;
  return DetourOutcome::Enabled;
}

void CodeDetour::disable() {
  bool restored = !enabled_;
  if (markerEvent_ != nullptr) {
    if (enabled_) restored = os::writeCode(target_, original_, static_cast<std::size_t>(stolenLength_));
    os::closeMarkerEvent(markerEvent_);
    markerEvent_ = nullptr;
  }
  if (restored) {
    releaseTrampoline();
  } else {
    // The patch stays, and the replacement may still run the host function
    // through the trampoline: its memory must outlive this object.
    trampoline_ = nullptr;
    trampolineSize_ = 0;
  }
  stolenLength_ = 0;
  enabled_ = false;
}

std::uintptr_t CodeDetour::trampolineEntry() const { return reinterpret_cast<std::uintptr_t>(trampoline_); }

void CodeDetour::releaseTrampoline() {
  os::freeTrampoline(trampoline_);
  trampoline_ = nullptr;
  trampolineSize_ = 0;
}

}  // namespace ostrel
