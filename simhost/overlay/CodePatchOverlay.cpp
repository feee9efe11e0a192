// The code-patching overlay: jumps written over the entries of the device
// class's Reset and Present, as frame counters and capture tools install them.
#include <windows.h>
#include <d3d9.h>

#include <cstdint>
#include <cstring>

#include "OverlayApi.h"
#include "PrologueCopy.h"
#include "ToolNotes.h"

namespace simhost_overlay {
namespace {

constexpr int kResetSlot = 16, kPresentSlot = 17;
constexpr std::size_t kTrampolineSpace = 64;

using ResetFunction = HRESULT(WINAPI*)(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*);
using PresentFunction = HRESULT(WINAPI*)(IDirect3DDevice9*, const RECT*, const RECT*, HWND, const RGNDATA*);

struct CodePatch {
  const char* name;
  std::uintptr_t entry = 0;
  std::uint8_t saved[kPatchLength] = {};    // what the entry held before
  std::uint8_t written[kPatchLength] = {};  // our jump
  void* trampoline = nullptr;
  bool on = false;
};

struct Overlay {
  CodePatch reset{"Reset"}, present{"Present"};
  std::uint8_t* trampolines = nullptr;  // kept for the life of the process: a call may still be inside
  // The overlay's own drawing target, on the device it last saw presenting.
  IDirect3DTexture9* target = nullptr;
  IDirect3DDevice9* targetDevice = nullptr;
  volatile LONG resets = 0, presents = 0;
  HANDLE thread = nullptr;
  IDirect3DDevice9* threadDevice = nullptr;
} overlay;

std::uintptr_t methodEntry(IDirect3DDevice9* device, int slot) {
  return reinterpret_cast<std::uintptr_t>((*reinterpret_cast<void***>(device))[slot]);
}

std::uint32_t address32(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

// Five bytes written in one locked 8-byte exchange, so a thread running
// through the entry meanwhile sees either the old bytes or the new ones.
bool writeEntry(std::uintptr_t at, const std::uint8_t* bytes) {
  DWORD old = 0;
  if (!VirtualProtect(reinterpret_cast<void*>(at), 8, PAGE_EXECUTE_READWRITE, &old)) return false;
  auto* word = reinterpret_cast<volatile LONGLONG*>(at);
  LONGLONG expected = *word;
  for (;;) {
    LONGLONG desired = expected;
    std::memcpy(&desired, bytes, kPatchLength);
    const LONGLONG seen = InterlockedCompareExchange64(word, desired, expected);
    if (seen == expected) break;
    expected = seen;
  }
  DWORD unused = 0;
  VirtualProtect(reinterpret_cast<void*>(at), 8, old, &unused);
  FlushInstructionCache(GetCurrentProcess(), reinterpret_cast<void*>(at), 8);
  return true;
}

void releaseTarget() {
  if (overlay.target) overlay.target->Release();
  overlay.target = nullptr;
  overlay.targetDevice = nullptr;
}

void makeTarget(IDirect3DDevice9* device) {
  IDirect3DTexture9* t = nullptr;
  if (SUCCEEDED(device->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &t,
                                      nullptr))) {
    overlay.target = t;
    overlay.targetDevice = device;
  }
}

HRESULT WINAPI overlayReset(IDirect3DDevice9* self, D3DPRESENT_PARAMETERS* parameters) {
  InterlockedIncrement(&overlay.resets);
  // Its own default-pool object must be gone before the device can reset.
  const bool mine = overlay.target && overlay.targetDevice == self;
  if (mine) releaseTarget();
  const HRESULT hr = reinterpret_cast<ResetFunction>(overlay.reset.trampoline)(self, parameters);
  if (mine && SUCCEEDED(hr)) makeTarget(self);
  return hr;
}

HRESULT WINAPI overlayPresent(IDirect3DDevice9* self, const RECT* source, const RECT* dest, HWND window,
                              const RGNDATA* dirty) {
  InterlockedIncrement(&overlay.presents);
  if (overlay.targetDevice != self) {
    releaseTarget();
    makeTarget(self);
  }
  if (overlay.target) {
    IDirect3DSurface9* surface = nullptr;
    if (SUCCEEDED(overlay.target->GetSurfaceLevel(0, &surface))) {
      self->ColorFill(surface, nullptr, 0xFF00FF00 | static_cast<DWORD>(overlay.presents & 0xFF));
      surface->Release();
    }
  }
  return reinterpret_cast<PresentFunction>(overlay.present.trampoline)(self, source, dest, window, dirty);
}

void hex(const std::uint8_t* bytes, char* text) {
  for (std::size_t i = 0; i < kPatchLength; ++i) wsprintfA(text + 3 * i, "%02X ", bytes[i]);
  text[3 * kPatchLength - 1] = '\0';
}

bool install(IDirect3DDevice9* device) {
  if (!device) return false;
  if (overlay.reset.on || overlay.present.on) {
    addNote("overlay already installed");
    return false;
  }
  if (!overlay.trampolines)
    overlay.trampolines = static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  if (!overlay.trampolines) return false;
  struct Planned {
    CodePatch* patch;
    void* hook;
    std::uint8_t* space;
    PrologueCopy plan;
  } planned[2] = {{&overlay.reset, reinterpret_cast<void*>(&overlayReset), overlay.trampolines, {}},
                  {&overlay.present, reinterpret_cast<void*>(&overlayPresent), overlay.trampolines + kTrampolineSpace, {}}};
  planned[0].patch->entry = methodEntry(device, kResetSlot);
  planned[1].patch->entry = methodEntry(device, kPresentSlot);
  // Both planned before either is written: refused, nothing changes.
  for (Planned& p : planned) {
    std::uint8_t code[16];
    std::memcpy(code, reinterpret_cast<const void*>(p.patch->entry), sizeof code);
    p.plan = planPrologueCopy(code, sizeof code, static_cast<std::uint32_t>(p.patch->entry), address32(p.space));
    if (!p.plan.ok) {
      addNote("overlay refused: %s at %08X %s", p.patch->name, static_cast<unsigned>(p.patch->entry),
              p.plan.refusal.c_str());
      return false;
    }
    std::memcpy(p.patch->saved, code, kPatchLength);
  }
  for (Planned& p : planned) {
    std::memcpy(p.space, p.plan.trampoline.data(), p.plan.trampoline.size());
    FlushInstructionCache(GetCurrentProcess(), p.space, p.plan.trampoline.size());
    p.patch->trampoline = p.space;
    const std::vector<std::uint8_t> jump = relativeJump(static_cast<std::uint32_t>(p.patch->entry), address32(p.hook));
    std::memcpy(p.patch->written, jump.data(), kPatchLength);
    p.patch->on = writeEntry(p.patch->entry, p.patch->written);
    char found[3 * kPatchLength + 1];
    hex(p.patch->saved, found);
    addNote("overlay patched %s at %08X: found %s, %u bytes moved", p.patch->name,
            static_cast<unsigned>(p.patch->entry), found, static_cast<unsigned>(p.plan.copied));
  }
  return overlay.reset.on && overlay.present.on;
}

DWORD WINAPI installLater(void*) {
  // A moment into the host's frame: the patch lands while it draws.
  Sleep(20);
  install(overlay.threadDevice);
  return 0;
}

}  // namespace
}  // namespace simhost_overlay

using namespace simhost_overlay;

extern "C" __declspec(dllexport) int simhostOverlayInstall(IDirect3DDevice9* device) { return install(device) ? 1 : 0; }

extern "C" __declspec(dllexport) int simhostOverlayInstallFromThread(IDirect3DDevice9* device) {
  if (overlay.thread) return 0;
  overlay.threadDevice = device;
  overlay.thread = CreateThread(nullptr, 0, installLater, nullptr, 0, nullptr);
  return overlay.thread ? 1 : 0;
}

extern "C" __declspec(dllexport) int simhostOverlayWait(unsigned milliseconds) {
  if (!overlay.thread) return 1;
  if (WaitForSingleObject(overlay.thread, milliseconds) != WAIT_OBJECT_0) return 0;
  CloseHandle(overlay.thread);
  overlay.thread = nullptr;
  return 1;
}

extern "C" __declspec(dllexport) int simhostOverlayRemove() {
  int removed = 0;
  for (CodePatch* p : {&overlay.reset, &overlay.present}) {
    if (!p->on) continue;
    // A capture tool writes back what it found, whoever patched since.
    const bool asWritten = std::memcmp(reinterpret_cast<const void*>(p->entry), p->written, kPatchLength) == 0;
    p->on = !writeEntry(p->entry, p->saved);
    addNote("overlay took off its %s patch%s", p->name, asWritten ? "" : " (the entry had changed since)");
    ++removed;
  }
  releaseTarget();
  return removed == 2 ? 1 : 0;
}

extern "C" __declspec(dllexport) void simhostOverlayCounts(int* resets, int* presents) {
  if (resets) *resets = overlay.resets;
  if (presents) *presents = overlay.presents;
}
