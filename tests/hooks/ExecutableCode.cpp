#include "ExecutableCode.h"

#include <windows.h>

#include <cstring>

namespace hooks_test {

CodeArena::CodeArena(std::size_t size) : size_(size) {
  memory_ = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  if (memory_) std::memset(memory_, 0xCC, size);  // INT3 between functions
}

CodeArena::CodeArena(std::uintptr_t from, std::uintptr_t to, std::size_t size) : size_(size) {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const std::uintptr_t step = system.dwAllocationGranularity;
  for (std::uintptr_t at = (from + step - 1) / step * step; at >= from && at < to && to - at >= size;) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) != sizeof info) break;
    const std::uintptr_t regionEnd = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (info.State == MEM_FREE && regionEnd - at >= size) {
      memory_ = static_cast<std::uint8_t*>(
          VirtualAlloc(reinterpret_cast<void*>(at), size, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
      if (memory_) break;
    }
    const std::uintptr_t next = (regionEnd + step - 1) / step * step;
    if (next <= at) break;  // the top of the address space
    at = next;
  }
  if (memory_) std::memset(memory_, 0xCC, size);
}

CodeArena::~CodeArena() {
  if (memory_) VirtualFree(memory_, 0, MEM_RELEASE);
}

std::uintptr_t CodeArena::place(const Bytes& code) {
  if (!memory_ || used_ + code.size() > size_) return 0;
  std::uint8_t* at = memory_ + used_;
  std::memcpy(at, code.data(), code.size());
  used_ += (code.size() + 15) & ~std::size_t{15};
  FlushInstructionCache(GetCurrentProcess(), at, code.size());
  return reinterpret_cast<std::uintptr_t>(at);
}

std::uintptr_t CodeArena::placeAtEnd(const Bytes& code) {
  if (!memory_ || code.size() > size_ - used_) return 0;
  std::uint8_t* at = memory_ + size_ - code.size();
  std::memcpy(at, code.data(), code.size());
  return reinterpret_cast<std::uintptr_t>(at);
}

ProtectedPage::ProtectedPage(unsigned long protection) {
  void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!page) return;
  std::memset(page, 0x90, 4096);  // NOPs: readable, it would look like fine code
  DWORD old = 0;
  VirtualProtect(page, 4096, protection, &old);
  address = reinterpret_cast<std::uintptr_t>(page);
}

ProtectedPage::~ProtectedPage() {
  if (address) VirtualFree(reinterpret_cast<void*>(address), 0, MEM_RELEASE);
}

ReservedPage::ReservedPage() {
  address = reinterpret_cast<std::uintptr_t>(VirtualAlloc(nullptr, 0x10000, MEM_RESERVE, PAGE_NOACCESS));
}

ReservedPage::~ReservedPage() {
  if (address) VirtualFree(reinterpret_cast<void*>(address), 0, MEM_RELEASE);
}

EdgeOfCommitted::EdgeOfCommitted() {
  void* reserved = VirtualAlloc(nullptr, 0x10000, MEM_RESERVE, PAGE_NOACCESS);
  if (reserved && VirtualAlloc(reserved, 4096, MEM_COMMIT, PAGE_EXECUTE_READWRITE))
    region = reinterpret_cast<std::uintptr_t>(reserved);
  else if (reserved)
    VirtualFree(reserved, 0, MEM_RELEASE);
}

EdgeOfCommitted::~EdgeOfCommitted() {
  if (region) VirtualFree(reinterpret_cast<void*>(region), 0, MEM_RELEASE);
}

std::uintptr_t EdgeOfCommitted::placeAtEdge(const Bytes& code) {
  if (!region) return 0;
  const std::uintptr_t at = region + 4096 - code.size();
  std::memcpy(reinterpret_cast<void*>(at), code.data(), code.size());
  return at;
}

namespace {
Bytes withWord(Bytes head, std::uint32_t word) {
  for (int i = 0; i < 4; ++i) head.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
  return head;
}
}  // namespace

Bytes jmpRel32(std::uintptr_t at, std::uintptr_t to) {
  return withWord({0xE9}, static_cast<std::uint32_t>(to - at - 5));
}
Bytes jmpRel8(std::int8_t displacement) { return {0xEB, static_cast<std::uint8_t>(displacement)}; }
Bytes jmpThroughSlot(std::uintptr_t slot) { return withWord({0xFF, 0x25}, static_cast<std::uint32_t>(slot)); }
Bytes callRel32(std::uintptr_t at, std::uintptr_t to) {
  return withWord({0xE8}, static_cast<std::uint32_t>(to - at - 5));
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes bytesAt(std::uintptr_t address, std::size_t count) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(address);
  return Bytes(p, p + count);
}

std::uint32_t wordAt(std::uintptr_t address) {
  std::uint32_t word;
  std::memcpy(&word, reinterpret_cast<const void*>(address), 4);
  return word;
}

}  // namespace hooks_test
