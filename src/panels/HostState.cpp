#include "panels/HostState.h"

#include <windows.h>

#include <atomic>

namespace ostrel::host {
namespace {

// True when [address, address + size) is committed, readable memory, so a
// host of another build (or a host that is not the racing simulation at all)
// is not read blindly.
bool readable(std::uintptr_t address, std::size_t size) {
  MEMORY_BASIC_INFORMATION info{};
  if (address == 0 || VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info) == 0)
    return false;
  if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS))) return false;
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  if (!(info.Protect & kReadable)) return false;
  const std::uintptr_t regionEnd = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
  return address + size <= regionEnd || readable(regionEnd, address + size - regionEnd);
}

template <typename T>
T* readPointerAt(std::uintptr_t address) {
  if (!readable(address, sizeof(std::uint32_t))) return nullptr;
  std::uint32_t value;
  __builtin_memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(value));
}

bool carObjectSlotReadable = false;

// One link of the chain to the device, as last found readable. The chain is
// read every frame; a link read at the address it was read at before costs a
// compare, not a memory query: the slot lies in the host's image, and the
// two records are the host's own, kept while the link before points at them
// (a record made anew comes with a new address, which is checked again).
// (The texture hook may follow the device from another thread than the frame's.)
struct CheckedLink {
  std::atomic<std::uintptr_t> address{0};
};
CheckedLink deviceLinks[3];

template <typename T>
T* readLink(CheckedLink& link, std::uintptr_t address) {
  if (address != link.address.load(std::memory_order_relaxed)) {
    if (!readable(address, sizeof(std::uint32_t))) return nullptr;
    link.address.store(address, std::memory_order_relaxed);
  }
  std::uint32_t value;
  __builtin_memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(value));
}

}  // namespace

bool findHostPointers(std::uintptr_t base) {
  HostPointers& p = pointers();
  if (base == 0) return false;
  p.base = base;
  if (!p.gameStateBlock) p.gameStateBlock = readPointerAt<std::uint8_t>(base + kGameStateBlockSlot);
  if (!p.pauseBlock) p.pauseBlock = readPointerAt<std::uint8_t>(base + kPauseBlockSlot);
  if (!p.carStateBlock) p.carStateBlock = readPointerAt<std::uint8_t>(base + kCarStateBlockSlot);
  p.gaugeValueBlock = reinterpret_cast<std::uint8_t*>(base + kGaugeValueBlock);
  if (!p.device) p.device = readDevicePointer();
  carObjectSlotReadable = readable(base + kCarObjectSlot, sizeof(std::uint32_t));
  return true;
}

IDirect3DDevice9* readDevicePointer() {
  const std::uintptr_t base = pointers().base;
  if (base == 0) return nullptr;
  auto* first = readLink<std::uint8_t>(deviceLinks[0], base + kDeviceChainSlot);
  auto* second =
      first ? readLink<std::uint8_t>(deviceLinks[1], reinterpret_cast<std::uintptr_t>(first) + kDeviceChainInner)
            : nullptr;
  return second ? readLink<IDirect3DDevice9>(deviceLinks[2],
                                             reinterpret_cast<std::uintptr_t>(second) + kDeviceChainDevice)
                : nullptr;
}

void refreshCarObject() {
  HostPointers& p = pointers();
  if (!carObjectSlotReadable) {
    p.carObject = nullptr;
    return;
  }
  p.carObject = field<std::uint8_t*>(reinterpret_cast<const std::uint8_t*>(p.base), kCarObjectSlot);
}

}  // namespace ostrel::host
