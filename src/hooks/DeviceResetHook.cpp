#include "hooks/DeviceResetHook.h"

#include <windows.h>

#include <string>
#include <utility>

#include "hooks/CodeDetour.h"
#include "hooks/CodeDetourPlatform.h"
#include "hooks/DetourRegistry.h"
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
// real device behind, a tool's.
constexpr int kTables = 8;

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
  // Its module is held loaded while it is watched (a tool's proxy DLL could
  // otherwise unload under us); a table in no module (made at run time) is
  // checked readable every frame instead, and read no more once it went.
  bool pinned = false;
  bool gone = false;
  // What each entry's chain was when last checked: an entry whose value and
  // code read as they did is settled without walking it again.
  JumpChain reset, resetEx;
};
MethodTable tables[kTables];
int tableCount = 0;

// Where the code behind an entry can be patched no more (another program
// took the patch off too often, or the code cannot be patched), the entry
// itself is pointed at a hook of ours, one per table and method. It runs the
// value the entry had; called again from inside itself on the same thread (a
// tool that swapped the entry after us and runs what it replaced, which we
// then swapped again), it runs the value the entry had the first time, so a
// Reset never loops.
struct EntryRedirect {
  void* next = nullptr;
  void* first = nullptr;
  bool said = false;
  bool refusedSaid = false;
};
EntryRedirect entryResets[kTables], entryResetExes[kTables];
thread_local int entryHookDepth = 0;
bool deviceLost = false;
// A game whose Reset keeps failing (the device still lost) tries again every
// frame: the attempts after the first failure are said once more only when
// the result changes, and when a Reset works again.
HRESULT failingReset = S_OK;
unsigned failedResetsSince = 0;
// A game that resets again and again the same way (a window being dragged
// to another size and back, a thread that resets often) is told about the
// first few; then nothing until a Reset goes otherwise.
constexpr unsigned kSaidSameResets = 3;
struct ResetOutcome {
  std::int32_t width = -1;
  int released = -1;
  bool operator==(const ResetOutcome&) const = default;
};
ResetOutcome lastOutcome;
unsigned sameResets = 0;  // successful Resets in a row that went as the one before
int releasedNow = 0;
unsigned gameResets = 0;
bool resetsQuiet() { return sameResets >= kSaidSameResets; }
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
    ++gameResets;
    const bool say = failingReset == S_OK && !resetsQuiet();
    if (say) logText(FT("Device reset: letting go of the gauge textures"));
    releasedNow = releaseGaugeDeviceObjects(self);
    if (say && releasedNow > 0)
      logText(std::string(FT("Gauges: ")) + std::to_string(releasedNow) +
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
    const ResetOutcome outcome{clientWidth, releasedNow};
    if (SUCCEEDED(hr) && failingReset == S_OK && outcome == lastOutcome) {
      if (++sameResets == kSaidSameResets)
        logText(FT("Device reset: the Resets go the same way; said again when one does not"));
      if (resetsQuiet()) return;
    } else {
      if (resetsQuiet())
        logText(std::string(FT("Device reset: ")) + std::to_string(sameResets - kSaidSameResets + 1) +
                FT(" more Reset(s) went the same way"));
      sameResets = 0;
    }
    lastOutcome = SUCCEEDED(hr) ? outcome : ResetOutcome{};
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

template <int T>
HRESULT __stdcall resetViaEntry(IDirect3DDevice9* self, D3DPRESENT_PARAMETERS* parameters) {
  const EntryRedirect& e = entryResets[T];
  const auto code = reinterpret_cast<std::uintptr_t>(entryHookDepth > 0 ? e.first : e.next);
  ++entryHookDepth;
  const HRESULT hr = runReset(self, code, [&] { return reinterpret_cast<ResetFunction>(code)(self, parameters); });
  --entryHookDepth;
  return hr;
}

template <int T>
HRESULT __stdcall resetExViaEntry(IDirect3DDevice9Ex* self, D3DPRESENT_PARAMETERS* parameters,
                                  D3DDISPLAYMODEEX* mode) {
  const EntryRedirect& e = entryResetExes[T];
  const auto code = reinterpret_cast<std::uintptr_t>(entryHookDepth > 0 ? e.first : e.next);
  ++entryHookDepth;
  const HRESULT hr =
      runReset(self, code, [&] { return reinterpret_cast<ResetExFunction>(code)(self, parameters, mode); });
  --entryHookDepth;
  return hr;
}

template <std::size_t... N>
void* entryHookAt(int table, bool extended, std::index_sequence<N...>) {
  static void* const resets[] = {reinterpret_cast<void*>(&resetViaEntry<static_cast<int>(N)>)...};
  static void* const resetExes[] = {reinterpret_cast<void*>(&resetExViaEntry<static_cast<int>(N)>)...};
  return extended ? resetExes[table] : resets[table];
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

// Points the table's entry at our hook for it (the code behind it could not
// be patched, for `why`). Said once per entry; a failure to write the entry
// too, once.
void redirectEntry(int table, bool extended, const char* why) {
  MethodTable& t = tables[table];
  void** at = const_cast<void**>(&t.entries[extended ? kResetExSlot : kResetSlot]);
  EntryRedirect& e = (extended ? entryResetExes : entryResets)[table];
  void* const hook = entryHookAt(table, extended, std::make_index_sequence<kTables>());
  void* const current = *at;
  if (current == hook) return;
  const char* what = extended ? FT("Device extended reset detour") : FT("Device reset detour");
  // Stored before the entry is written: another thread may call it at once.
  e.next = current;
  if (!e.first) e.first = current;
  DWORD old = 0;
  if (!VirtualProtect(at, sizeof *at, PAGE_READWRITE, &old)) {
    if (!e.refusedSaid)
      logText(std::string(what) + FT(": ") + why + FT(", and the method table cannot be written either; a Reset "
                                                        "without a loss may now fail once, after which the gauges "
                                                        "let go of the dashboard texture and the next Reset works"));
    e.refusedSaid = true;
    return;
  }
  InterlockedExchange(reinterpret_cast<volatile LONG*>(at), static_cast<LONG>(reinterpret_cast<std::uintptr_t>(hook)));
  VirtualProtect(at, sizeof *at, old, &old);
  if (!e.said)
    logText(std::string(what) + FT(": ") + why + FT("; given up patching its code, Reset is watched through the "
                                                      "device's method table instead"));
  e.said = true;
}

// Redirects the code the table's entry leads to with the next free hook,
// unless that code already reaches the plug-in; where no patch can be had,
// redirects the entry itself.
void redirect(Redirects& r, int table, bool extended, bool again) {
  const void* entry = tables[table].entries[extended ? kResetExSlot : kResetSlot];
  if (!entry || reachesPlugin(entry)) return;
  const std::uintptr_t code = resolveJumpChain(reinterpret_cast<std::uintptr_t>(entry));
  if (r.wasRefused(code)) return redirectEntry(table, extended, FT("its code cannot be patched"));
  const char* what = extended ? FT("Device extended reset detour") : FT("Device reset detour");
  if (r.count == kRedirects) {
    if (!r.fullSaid) logText(std::string(what) + FT(": taken off too often, not patched again"));
    r.fullSaid = true;
    return redirectEntry(table, extended, FT("taken off too often"));
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
    logText(std::string(what) + FT(": could not be installed"));
    if (r.refusedCount < kRedirects) r.refused[r.refusedCount++] = code;
    return redirectEntry(table, extended, FT("its code cannot be patched"));
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
void checkEntry(Redirects& r, int table, JumpChain& last, bool extended) {
  const auto from = reinterpret_cast<std::uintptr_t>(tables[table].entries[extended ? kResetExSlot : kResetSlot]);
  if (last.unchangedFrom(from)) return;
  last = JumpChain::walk(from);
  if (!inOwnModule(last.end())) redirect(r, table, extended, true);
}

void watchTable(void* const* entries, bool extended) {
  for (int i = 0; i < tableCount; ++i)
    if (tables[i].entries == entries && !tables[i].gone) return;
  if (tableCount == kTables) return;
  const int table = tableCount++;
  HMODULE module = nullptr;
  const bool pinned = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                         reinterpret_cast<LPCWSTR>(entries), &module) != 0;
  tables[table] = MethodTable{entries, extended, pinned, false, {}, {}};
  redirect(resetRedirects, table, false, false);
  if (extended) redirect(resetExRedirects, table, true, false);
}

void* const* tableOf(void* object) { return *static_cast<void* const* const*>(object); }

}  // namespace

void watchDeviceReset(IDirect3DDevice9* device) {
  if (!device) return;
  void* const* entries = tableOf(device);
  for (int i = 0; i < tableCount; ++i)
    if (tables[i].entries == entries && !tables[i].gone) return;  // known: nothing to ask the device
  IDirect3DDevice9Ex* ex = nullptr;
  const bool extended =
      SUCCEEDED(device->QueryInterface(__uuidof(IDirect3DDevice9Ex), reinterpret_cast<void**>(&ex))) && ex;
  // A proxy may answer with the device behind it: that table is watched too.
  void* const* exEntries = extended ? tableOf(ex) : nullptr;
  if (ex) ex->Release();
  watchTable(entries, extended && exEntries == entries);
  if (exEntries && exEntries != entries) watchTable(exEntries, true);
}

// A method table made at run time (not in a module) may be freed: one that
// went is read no more.
bool tableReadable(const MethodTable& t) {
  const std::size_t last = (t.extended ? kResetExSlot : kResetSlot) + 1;
  return detour_platform::readableBytes(reinterpret_cast<std::uintptr_t>(t.entries), last * sizeof(void*)) ==
         last * sizeof(void*);
}

void checkResetRedirects() {
  for (int i = 0; i < tableCount; ++i) {
    MethodTable& t = tables[i];
    if (t.gone) continue;
    if (!t.pinned && !tableReadable(t)) {
      logText(FT("Device reset: a device's method table went with its module; it is no longer watched"));
      t.gone = true;
      continue;
    }
    checkEntry(resetRedirects, i, t.reset, false);
    if (t.extended) checkEntry(resetExRedirects, i, t.resetEx, true);
  }
}

unsigned gameResetsSeen() { return gameResets; }

DeviceLoss followDeviceLoss(IDirect3DDevice9* device) {
  if (!device) return DeviceLoss::kStillLost;
  const HRESULT hr = device->TestCooperativeLevel();
  if (hr == D3D_OK) {
    if (deviceLost) logText(FT("Device is back: gauges are drawn again"));
    deviceLost = false;
    return DeviceLoss::kDrawable;
  }
  const bool now = !deviceLost;
  if (now) logText(std::string(FT("Device lost (")) + resultName(hr) + FT("): gauges are not drawn until it is back"));
  deviceLost = true;
  return now ? DeviceLoss::kLostNow : DeviceLoss::kStillLost;
}

}  // namespace ostrel
