#include "hooks/CodeDetourPlatform.h"

#include <windows.h>

#include <cstring>

namespace ostrel::detour_platform {
namespace {

bool isReadable(const MEMORY_BASIC_INFORMATION& info) {
  if (info.State != MEM_COMMIT) return false;
  if (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
  // PAGE_EXECUTE alone runs but may not be read.
  return (info.Protect & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                          PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

TrampolineRange trampolineRange;

// The lowest free block of `size` bytes at an allocation boundary inside
// [from, to), committed read-write; null when there is none.
std::uint8_t* allocateWithin(std::uintptr_t from, std::uintptr_t to, std::size_t size) {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const std::uintptr_t granularity = system.dwAllocationGranularity ? system.dwAllocationGranularity : 0x10000;
  std::uintptr_t at = (from + granularity - 1) / granularity * granularity;
  while (at >= from && at < to && to - at >= size) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) != sizeof info) break;
    const std::uintptr_t regionEnd = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (info.State == MEM_FREE && regionEnd - at >= size) {
      void* memory = VirtualAlloc(reinterpret_cast<void*>(at), size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
      if (memory) return static_cast<std::uint8_t*>(memory);
    }
    const std::uintptr_t next = (regionEnd + granularity - 1) / granularity * granularity;
    if (next <= at) break;  // the top of the address space
    at = next;
  }
  return nullptr;
}

}  // namespace

void setTrampolineRange(TrampolineRange range) { trampolineRange = range; }

std::size_t readableBytes(std::uintptr_t address, std::size_t wanted) {
  std::size_t found = 0;
  // A few bytes may straddle two regions of different protection.
  while (found < wanted) {
    const std::uintptr_t at = address + found;
    if (at < address) break;  // wrapped past the top of the address space
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) != sizeof info) break;
    if (!isReadable(info)) break;
    const std::uintptr_t regionEnd =
        reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (regionEnd <= at) break;
    found += static_cast<std::size_t>(regionEnd - at);
  }
  return found < wanted ? found : wanted;
}

std::uint8_t* allocateTrampoline(std::size_t size) {
  if (trampolineRange.from != trampolineRange.to)
    return allocateWithin(trampolineRange.from, trampolineRange.to, size);
  return static_cast<std::uint8_t*>(
      VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

void freeTrampoline(std::uint8_t* memory) {
  if (memory) VirtualFree(memory, 0, MEM_RELEASE);
}

bool makeReadExecute(std::uint8_t* memory, std::size_t size) {
  DWORD old = 0;
  if (!VirtualProtect(memory, size, PAGE_EXECUTE_READ, &old)) return false;
  FlushInstructionCache(GetCurrentProcess(), memory, size);
  return true;
}

bool writeCode(std::uintptr_t address, const std::uint8_t* bytes, std::size_t size) {
  void* code = reinterpret_cast<void*>(address);
  DWORD old = 0;
  if (!VirtualProtect(code, size, PAGE_EXECUTE_READWRITE, &old)) return false;
  std::memcpy(code, bytes, size);
  DWORD unused = 0;
  VirtualProtect(code, size, old, &unused);
  FlushInstructionCache(GetCurrentProcess(), code, size);
  return true;
}

void* createMarkerEvent(const char* name, bool& alreadyExisted) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name);
  alreadyExisted = event != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
  if (alreadyExisted) {
    CloseHandle(event);
    return nullptr;
  }
  return event;
}

void closeMarkerEvent(void* event) {
  if (event) CloseHandle(event);
}

}  // namespace ostrel::detour_platform
