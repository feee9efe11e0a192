#include "hooks/DeviceResetHook.h"

#include <windows.h>

#include <string>
#include <utility>

#include "hooks/CodeDetour.h"
#include "hooks/CodeDetourPlatform.h"
#include "hooks/DetourRegistry.h"
#include "hooks/FrameDriver.h"
#include "hooks/GaugeRendererList.h"
#include "hooks/RendererLock.h"
#include "hooks/Startup.h"
#include "panels/HostState.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel {

namespace {

// Slots in the device's method table (IUnknown's three first).
constexpr int kResetSlot = 16;
constexpr int kResetExSlot = 132;
// Redirects per method: each has a hook function of its own, which runs the
// code it replaced through its own trampoline. Calls that pass through two
// of them (a proxy device's Reset calling the real one, a tool's function
// calling the entry it replaced) therefore never loop.
constexpr int kRedirects = 8;
// Method tables watched: the host's device, a proxy in front of it, the
// real device behind.
constexpr int kTables = 4;

using ResetFunction = HRESULT(__stdcall*)(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*);
using ResetExFunction = HRESULT(__stdcall*)(IDirect3DDevice9Ex*, D3DPRESENT_PARAMETERS*, D3DDISPLAYMODEEX*);

struct Redirects {
  std::uintptr_t trampoline[kRedirects] = {};
  int count = 0;
  bool fullSaid = false;
  // Code that could not be patched is not tried (and logged) every frame.
  std::uintptr_t refused[kRedirects] = {};
  int refusedCount = 0;
  bool wasRefused(std::uintptr_t code) const {
    for (int i = 0; i < refusedCount; ++i)
      if (refused[i] == code) return true;
    return false;
  }
};
Redirects resetRedirects, resetExRedirects;

struct MethodTable {
  void* const* entries = nullptr;
  bool extended = false;  // an IDirect3DDevice9Ex table: ResetEx is there too
  // What each entry's chain was when last checked: an entry whose value and
  // code read as they did is settled without walking it again.
  JumpChain reset, resetEx;
};
MethodTable tables[kTables];
int tableCount = 0;

bool deviceLost = false;
// A game whose Reset keeps failing (the device still lost) tries again every
// frame: the attempts after the first failure are said once more only when
// the result changes, and when a Reset works again.
HRESULT failingReset = S_OK;
unsigned failedResetsSince = 0;
// Nested Resets (through a proxy, or a tool's function) act once, outermost.
thread_local int resetDepth = 0;

struct AddressRange {
  std::uintptr_t begin = 0, end = 0;
  bool contains(std::uintptr_t a) const { return a >= begin && a < end; }
};

// The plug-in's own module image, found once: it does not move while the
// plug-in runs.
AddressRange ownModuleImage() {
  MEMORY_BASIC_INFORMATION info{};
  if (!VirtualQuery(reinterpret_cast<const void*>(&ownModuleImage), &info, sizeof info) || !info.AllocationBase)
    return {};
  const auto base = reinterpret_cast<std::uintptr_t>(info.AllocationBase);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return {};
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + static_cast<std::uintptr_t>(dos->e_lfanew));
  if (nt->Signature != IMAGE_NT_SIGNATURE) return {};
  return {base, base + nt->OptionalHeader.SizeOfImage};
}

// True for code of the plug-in's own module: a jump chain that ends there
// already reaches one of the plug-in's hooks.
bool inOwnModule(std::uintptr_t address) {
  static const AddressRange own = ownModuleImage();
  return own.contains(address);
}

bool reachesPlugin(const void* entry) {
  return inOwnModule(resolveJumpChain(reinterpret_cast<std::uintptr_t>(entry)));
}

// The host's window follows a Reset's new back-buffer size: so do the panels.
bool beforeReset(IDirect3DDevice9* self) noexcept {
  try {
    // Another device (a tool's own) leaves the gauges alone.
    const bool game = self == host::pointers().device || gaugeRenderersUse(self);
    if (!game || resetDepth > 1) return game;
    if (failingReset == S_OK) logText(FT("Device reset: letting go of the gauge textures"));
    const int released = releaseGaugeDeviceObjects(self);
    if (released > 0)
      logText(std::string(FT("Gauges: ")) + std::to_string(released) +
              FT(" gauge renderer(s) let go of their device objects"));
    return true;
  } catch (...) {
    return true;
  }
}

void afterReset(IDirect3DDevice9* self, HRESULT hr, bool game) noexcept {
  if (!game || resetDepth > 1) return;
  try {
    if (SUCCEEDED(hr)) measureClientWidth(self);
    if (FAILED(hr) && hr == failingReset) {
      ++failedResetsSince;
      return;
    }
    if (SUCCEEDED(hr) && failingReset != S_OK)
      logText(std::string(FT("Device reset: works again after ")) + std::to_string(failedResetsSince + 1) +
              FT(" failed attempt(s)"));
    failingReset = SUCCEEDED(hr) ? S_OK : hr;
    failedResetsSince = 0;
    logText(std::string(FT("Device reset: ")) + resultName(hr) + FT(", client width ") +
            std::to_string(clientWidth));
  } catch (...) {
  }
}

template <typename Call>
HRESULT runReset(IDirect3DDevice9* self, std::uintptr_t original, Call call) {
  // Never once the redirect is in place: its trampoline is stored first.
  if (!original) return D3DERR_INVALIDCALL;
  // Held across the device's own Reset: a gauge frame on another thread
  // would otherwise make its state block again before the Reset ran.
  const RendererLock lock;
  ++resetDepth;
  const bool game = beforeReset(self);
  const HRESULT hr = call();
  afterReset(self, hr, game);
  --resetDepth;
  return hr;
}

template <int N>
HRESULT __stdcall resetVia(IDirect3DDevice9* self, D3DPRESENT_PARAMETERS* parameters) {
  const std::uintptr_t t = resetRedirects.trampoline[N];
  return runReset(self, t, [&] { return reinterpret_cast<ResetFunction>(t)(self, parameters); });
}

template <int N>
HRESULT __stdcall resetExVia(IDirect3DDevice9Ex* self, D3DPRESENT_PARAMETERS* parameters, D3DDISPLAYMODEEX* mode) {
  const std::uintptr_t t = resetExRedirects.trampoline[N];
  return runReset(self, t, [&] { return reinterpret_cast<ResetExFunction>(t)(self, parameters, mode); });
}

template <std::size_t... N>
const void* resetHookAt(int i, std::index_sequence<N...>) {
  static const void* const hooks[] = {reinterpret_cast<const void*>(&resetVia<static_cast<int>(N)>)...};
  return hooks[i];
}
template <std::size_t... N>
const void* resetExHookAt(int i, std::index_sequence<N...>) {
  static const void* const hooks[] = {reinterpret_cast<const void*>(&resetExVia<static_cast<int>(N)>)...};
  return hooks[i];
}

// Redirects the code `entry` leads to with the next free hook, unless that
// code already reaches the plug-in.
void redirect(Redirects& r, const void* entry, bool extended, bool again) {
  if (!entry || reachesPlugin(entry)) return;
  const std::uintptr_t code = resolveJumpChain(reinterpret_cast<std::uintptr_t>(entry));
  if (r.wasRefused(code)) return;
  const char* what = extended ? FT("Device extended reset detour") : FT("Device reset detour");
  if (r.count == kRedirects) {
    if (!r.fullSaid)
      logText(std::string(what) +
              FT(": taken off too often, not put back again; a Reset without a loss may now fail once, "
                 "after which the gauges let go of the dashboard texture and the game's next Reset works"));
    r.fullSaid = true;
    return;
  }
  const void* hook = extended ? resetExHookAt(r.count, std::make_index_sequence<kRedirects>())
                              : resetHookAt(r.count, std::make_index_sequence<kRedirects>());
  CodeDetour& detour =
      detours().make(reinterpret_cast<std::uintptr_t>(entry), reinterpret_cast<std::uintptr_t>(hook));
  // The hook may run on another thread the moment the patch is written: it
  // finds its trampoline before that.
  r.trampoline[r.count] = detour.trampolineEntry();
  if (detour.enable() != DetourOutcome::Enabled) {
    r.trampoline[r.count] = 0;
    logText(std::string(what) +
            FT(": could not be installed; a Reset without a loss may fail once, after which the gauges let go "
               "of the dashboard texture and the game's next Reset works"));
    if (r.refusedCount < kRedirects) r.refused[r.refusedCount++] = code;
    return;
  }
  ++r.count;
  logText(std::string(what) + (again ? FT(": put back (another program took it off)") : FT(": installed")));
}

// One entry, each frame. An entry that holds the value it had and whose
// chain reads byte for byte as last time leads where it led: settled then
// (reaching the plug-in, or refused). Anything else is walked again, and the
// Reset redirected again where it no longer reaches the plug-in; a patch of
// ours written there changes the chain's bytes, so the next frame walks once
// more and remembers the chain that reaches us.
void checkEntry(Redirects& r, const void* entry, JumpChain& last, bool extended) {
  const auto from = reinterpret_cast<std::uintptr_t>(entry);
  if (last.unchangedFrom(from)) return;
  last = JumpChain::walk(from);
  if (!inOwnModule(last.end())) redirect(r, entry, extended, true);
}

void watchTable(void* const* entries, bool extended) {
  for (int i = 0; i < tableCount; ++i)
    if (tables[i].entries == entries) return;
  if (tableCount == kTables) return;
  tables[tableCount++] = MethodTable{entries, extended, {}, {}};
  redirect(resetRedirects, entries[kResetSlot], false, false);
  if (extended) redirect(resetExRedirects, entries[kResetExSlot], true, false);
}

void* const* tableOf(void* object) { return *static_cast<void* const* const*>(object); }

}  // namespace

void watchDeviceReset(IDirect3DDevice9* device) {
  if (!device) return;
  void* const* entries = tableOf(device);
  for (int i = 0; i < tableCount; ++i)
    if (tables[i].entries == entries) return;  // known: nothing to ask the device
  IDirect3DDevice9Ex* ex = nullptr;
  const bool extended =
      SUCCEEDED(device->QueryInterface(__uuidof(IDirect3DDevice9Ex), reinterpret_cast<void**>(&ex))) && ex;
  // A proxy may answer with the device behind it: that table is watched too.
  void* const* exEntries = extended ? tableOf(ex) : nullptr;
  if (ex) ex->Release();
  watchTable(entries, extended && exEntries == entries);
  if (exEntries && exEntries != entries) watchTable(exEntries, true);
}

// A method table lives in the module of its device's class: one that went
// (a tool's proxy unloaded) is read no more.
bool tableReadable(const MethodTable& t) {
  const std::size_t last = (t.extended ? kResetExSlot : kResetSlot) + 1;
  return detour_platform::readableBytes(reinterpret_cast<std::uintptr_t>(t.entries), last * sizeof(void*)) ==
         last * sizeof(void*);
}

void checkResetRedirects() {
  for (int i = 0; i < tableCount; ++i) {
    MethodTable& t = tables[i];
    if (!tableReadable(t)) {
      logText(FT("Device reset: a device's method table went with its module; it is no longer watched"));
      tables[i] = tables[--tableCount];
      --i;
      continue;
    }
    checkEntry(resetRedirects, t.entries[kResetSlot], t.reset, false);
    if (t.extended) checkEntry(resetExRedirects, t.entries[kResetExSlot], t.resetEx, true);
  }
}

bool gaugeDeviceReady(IDirect3DDevice9* device) {
  if (!device) return false;
  const HRESULT hr = device->TestCooperativeLevel();
  if (hr == D3D_OK) {
    if (deviceLost) logText(FT("Device is back: gauges are drawn again"));
    deviceLost = false;
    return true;
  }
  if (!deviceLost)
    logText(std::string(FT("Device lost (")) + resultName(hr) + FT("): gauges are not drawn until it is back"));
  deviceLost = true;
  // Nothing held across the loss: the host's Reset needs no redirect of ours.
  releaseGaugeDeviceObjects(nullptr);
  return false;
}

}  // namespace ostrel
