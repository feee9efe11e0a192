// Linked only into the allocation-counting test build of the plug-in: counts
// every heap allocation the plug-in's own code asks the C runtime for, and
// exports the running total for the simulated host to read each frame.
//
// The plug-in's C runtime is msvcrt.dll; the statically linked C++ runtime's
// operator new reaches it through the same import table. Replacing those
// import entries at load counts both without changing a line of the plug-in.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace {

std::atomic<std::uint32_t> allocations{0};

using MallocFn = void*(__cdecl*)(std::size_t);
using CallocFn = void*(__cdecl*)(std::size_t, std::size_t);
using ReallocFn = void*(__cdecl*)(void*, std::size_t);
using StrdupFn = char*(__cdecl*)(const char*);
MallocFn realMalloc = nullptr;
CallocFn realCalloc = nullptr;
ReallocFn realRealloc = nullptr;
StrdupFn realStrdup = nullptr;

void count() { allocations.fetch_add(1, std::memory_order_relaxed); }

void* __cdecl countingMalloc(std::size_t n) {
  count();
  return realMalloc(n);
}
void* __cdecl countingCalloc(std::size_t n, std::size_t size) {
  count();
  return realCalloc(n, size);
}
// A realloc to size 0 frees; any other may allocate anew.
void* __cdecl countingRealloc(void* p, std::size_t n) {
  if (n) count();
  return realRealloc(p, n);
}
char* __cdecl countingStrdup(const char* s) {
  count();
  return realStrdup(s);
}

struct Replacement {
  const char* name;
  void* function;
  void** original;
};

void replaceImport(void** slot, void* function, void** original) {
  DWORD old = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return;
  *original = *slot;
  *slot = function;
  VirtualProtect(slot, sizeof *slot, old, &old);
}

// Walks this module's imports from msvcrt.dll and swaps the allocating ones.
void installCounters() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<const char*>(&installCounters), &self))
    return;
  auto* base = reinterpret_cast<std::uint8_t*>(self);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return;
  const Replacement replacements[] = {
      {"malloc", reinterpret_cast<void*>(&countingMalloc), reinterpret_cast<void**>(&realMalloc)},
      {"calloc", reinterpret_cast<void*>(&countingCalloc), reinterpret_cast<void**>(&realCalloc)},
      {"realloc", reinterpret_cast<void*>(&countingRealloc), reinterpret_cast<void**>(&realRealloc)},
      {"_strdup", reinterpret_cast<void*>(&countingStrdup), reinterpret_cast<void**>(&realStrdup)},
  };
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), "msvcrt.dll") != 0 || !d->OriginalFirstThunk)
      continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<void**>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      for (const Replacement& r : replacements)
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), r.name) == 0)
          replaceImport(slots, r.function, r.original);
    }
  }
}

// Before the plug-in's own static objects, so their allocations count too.
__attribute__((constructor(101))) void installAtLoad() { installCounters(); }

}  // namespace

extern "C" __declspec(dllexport) unsigned long long OSTREL_AllocationCount() {
  return allocations.load(std::memory_order_relaxed);
}
