// A tool that hooks the device by its method table: the entries for Reset and
// Present (shared by every device of the class) point at its own functions,
// which call the entries they replaced, or at bare jump stubs to them.
#include <windows.h>
#include <d3d9.h>

#include <cstdint>

#include "OverlayApi.h"
#include "PrologueCopy.h"
#include "ToolNotes.h"

namespace simhost_overlay {
namespace {

constexpr int kResetSlot = 16, kPresentSlot = 17;

using ResetFunction = HRESULT(WINAPI*)(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*);
using PresentFunction = HRESULT(WINAPI*)(IDirect3DDevice9*, const RECT*, const RECT*, HWND, const RGNDATA*);

struct TableTool {
  void** table = nullptr;
  void* replaced[2] = {};  // Reset, Present
  void* ours[2] = {};
  std::uint8_t* stubs = nullptr;
  volatile LONG resets = 0, presents = 0;
} tool;

HRESULT WINAPI tableReset(IDirect3DDevice9* self, D3DPRESENT_PARAMETERS* parameters) {
  const HRESULT hr = reinterpret_cast<ResetFunction>(tool.replaced[0])(self, parameters);
  InterlockedIncrement(&tool.resets);
  return hr;
}

HRESULT WINAPI tablePresent(IDirect3DDevice9* self, const RECT* source, const RECT* dest, HWND window,
                            const RGNDATA* dirty) {
  const HRESULT hr = reinterpret_cast<PresentFunction>(tool.replaced[1])(self, source, dest, window, dirty);
  InterlockedIncrement(&tool.presents);
  return hr;
}

bool writeSlots(void** table, void* reset, void* present) {
  DWORD old = 0;
  if (!VirtualProtect(table + kResetSlot, 2 * sizeof(void*), PAGE_READWRITE, &old)) return false;
  table[kResetSlot] = reset;
  table[kPresentSlot] = present;
  DWORD unused = 0;
  VirtualProtect(table + kResetSlot, 2 * sizeof(void*), old, &unused);
  return true;
}

std::uint32_t address32(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

}  // namespace
}  // namespace simhost_overlay

using namespace simhost_overlay;

extern "C" __declspec(dllexport) int simhostMethodTableHook(IDirect3DDevice9* device, int mode) {
  if (!device || tool.table) return 0;
  void** table = *reinterpret_cast<void***>(device);
  tool.replaced[0] = table[kResetSlot];
  tool.replaced[1] = table[kPresentSlot];
  if (mode == 1) {
    if (!tool.stubs)
      tool.stubs = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    if (!tool.stubs) return 0;
    for (int i = 0; i < 2; ++i) {
      std::uint8_t* stub = tool.stubs + 16 * i;
      const std::vector<std::uint8_t> jump = relativeJump(address32(stub), address32(tool.replaced[i]));
      for (std::size_t b = 0; b < jump.size(); ++b) stub[b] = jump[b];
      tool.ours[i] = stub;
    }
    FlushInstructionCache(GetCurrentProcess(), tool.stubs, 32);
  } else {
    tool.ours[0] = reinterpret_cast<void*>(&tableReset);
    tool.ours[1] = reinterpret_cast<void*>(&tablePresent);
  }
  if (!writeSlots(table, tool.ours[0], tool.ours[1])) {
    addNote("method-table tool: the table at %08X cannot be written", address32(table));
    return 0;
  }
  tool.table = table;
  addNote("method-table tool: Reset entry %08X -> %08X, Present entry %08X -> %08X (%s)",
          address32(tool.replaced[0]), address32(tool.ours[0]), address32(tool.replaced[1]), address32(tool.ours[1]),
          mode == 1 ? "jump stubs" : "calling functions");
  return 1;
}

extern "C" __declspec(dllexport) int simhostMethodTableUnhook() {
  if (!tool.table) return 0;
  const bool asWritten = tool.table[kResetSlot] == tool.ours[0] && tool.table[kPresentSlot] == tool.ours[1];
  const bool restored = writeSlots(tool.table, tool.replaced[0], tool.replaced[1]);
  addNote("method-table tool: entries put back%s", asWritten ? "" : " (they had changed since)");
  tool.table = nullptr;
  return restored ? 1 : 0;
}

extern "C" __declspec(dllexport) void simhostMethodTableCounts(int* resets, int* presents) {
  if (resets) *resets = tool.resets;
  if (presents) *presents = tool.presents;
}
