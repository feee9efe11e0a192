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

const char* refusalText(TrampolineRefusal refusal) {
  switch (refusal) {
    case TrampolineRefusal::Undecodable: return FT("an instruction there cannot be decoded");
    case TrampolineRefusal::CodeEndsEarly: return FT("the code there ends before the patch would");
    case TrampolineRefusal::ShortBranch: return FT("a short branch there cannot be moved");
    case TrampolineRefusal::BranchIntoMoved: return FT("a branch there leads into the moved bytes");
    case TrampolineRefusal::None: break;
  }
  return "";
}

}  // namespace

std::uintptr_t resolveJumpChain(std::uintptr_t address) {
  for (int hop = 0; hop < kMaxJumpHops; ++hop) {
    std::uint8_t bytes[6];
    const std::size_t available = os::readableBytes(address, sizeof bytes);
    if (available == 0) break;
    std::memcpy(bytes, reinterpret_cast<const void*>(address), available);
    const JumpHop next = decodeJumpHop(bytes, available, address32(address));
    if (next.kind == JumpHop::Stop) break;
    if (next.kind == JumpHop::Direct) {
      address = next.next;
      continue;
    }
    // Through a slot: the slot itself must be readable too.
    if (os::readableBytes(next.next, 4) < 4) break;
    std::uint32_t destination;
    std::memcpy(&destination, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(next.next)), 4);
    address = destination;
  }
  return address;
}

CodeDetour::CodeDetour(std::uintptr_t targetAddress, std::uintptr_t replacementAddress) {
  install(targetAddress, replacementAddress);
}

CodeDetour::CodeDetour(std::uintptr_t targetAddress, std::uintptr_t replacementAddress, WithMarkerEvent) {
  noMarkerEvent = false;
  install(targetAddress, replacementAddress);
}

CodeDetour::~CodeDetour() { remove(); }

bool CodeDetour::install() { return install(requestedTarget_, replacement); }

bool CodeDetour::install(std::uintptr_t targetAddress, std::uintptr_t replacementAddress) {
  try {
    return tryInstall(targetAddress, replacementAddress);
  } catch (...) {
    // Only the log line could throw (memory); the target is untouched then.
    return false;
  }
}

bool CodeDetour::tryInstall(std::uintptr_t requested, std::uintptr_t replacementAddress) {
  if (installed) return false;
  requestedTarget_ = requested;
  target = resolveJumpChain(requested);
  replacement = replacementAddress;
  releaseTrampoline();
  stolenLength = 0;

  // Never read what the process may not read: the host may be of another
  // build, with nothing at the expected address.
  std::uint8_t code[kCodeWindow] = {};
  const std::size_t available = os::readableBytes(target, sizeof code);
  if (available == 0) {
    logRefusal(requested, FT("no readable code there"));
    return false;
  }
  std::memcpy(code, reinterpret_cast<const void*>(target), available);

  // Named after the address the caller asked for, before the chain; made
  // first, so nothing after the allocation can throw.
  const std::string markerName = noMarkerEvent ? std::string() : detourMarkerName(address32(requested));
  std::uint8_t* memory = os::allocateTrampoline(kTrampolineCapacity);
  if (memory == nullptr) {
    logRefusal(requested, FT("no memory for the trampoline"));
    return false;
  }
  const auto trampolineAddress = reinterpret_cast<std::uintptr_t>(memory);
  patchJumpLength = jumpLengthBetween(address32(target), address32(replacement));
  returnJumpLength = jumpLengthBetween(address32(target), address32(trampolineAddress));

  const TrampolinePlan plan = planTrampoline(code, available, address32(target), address32(trampolineAddress),
                                             patchJumpLength, returnJumpLength);
  if (!plan.ok()) {
    os::freeTrampoline(memory);
    logRefusal(requested, refusalText(plan.refusal));
    return false;
  }
  std::memcpy(memory, plan.bytes, static_cast<std::size_t>(plan.size));
  std::uint8_t patch[kTrampolineCapacity];
  buildPatch(patch, plan.stolenLength, address32(target), address32(replacement), patchJumpLength);
  if (!os::makeExecutable(memory, static_cast<std::size_t>(plan.size)) ||
      !os::writeCode(target, patch, static_cast<std::size_t>(plan.stolenLength))) {
    os::freeTrampoline(memory);
    logRefusal(requested, FT("the memory protection cannot be changed"));
    return false;
  }

  std::memcpy(original_, code, static_cast<std::size_t>(plan.stolenLength));
  trampoline_ = memory;
  trampolineSize_ = static_cast<std::size_t>(plan.size);
  stolenLength = plan.stolenLength;
  if (!noMarkerEvent) {
    // Another detour of the process owning the name keeps the restoring to itself.
    bool otherOwner = false;
    markerEvent = os::createMarkerEvent(markerName.c_str(), otherOwner);
  }
  installed = true;
  return true;
}

void CodeDetour::remove() {
  bool restored = !installed;
  if (markerEvent != nullptr) {
    if (installed)
      restored = os::writeCode(target, original_, static_cast<std::size_t>(stolenLength));
    os::closeMarkerEvent(markerEvent);
    markerEvent = nullptr;
  }
  if (restored) {
    releaseTrampoline();
  } else {
    // The patch stays, and the replacement may still run the host function
    // through the trampoline: its memory must outlive this object.
    trampoline_ = nullptr;
    trampolineSize_ = 0;
  }
  stolenLength = 0;
  installed = false;
}

std::uintptr_t CodeDetour::trampolineEntry() const {
  return installed ? reinterpret_cast<std::uintptr_t>(trampoline_) : 0;
}

void CodeDetour::releaseTrampoline() {
  os::freeTrampoline(trampoline_);
  trampoline_ = nullptr;
  trampolineSize_ = 0;
}

}  // namespace ostrel
