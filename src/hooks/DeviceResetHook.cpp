#include "hooks/DeviceResetHook.h"

#include <string>
#include <vector>

#include "hooks/CodeDetour.h"
#include "hooks/FrameDriver.h"
#include "hooks/HookState.h"
#include "hooks/Startup.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel {
namespace {

// Slots in the device's method table (IUnknown's three first).
constexpr int kResetSlot = 16;
constexpr int kResetExSlot = 132;

using ResetFunction = HRESULT(__stdcall*)(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*);
using ResetExFunction = HRESULT(__stdcall*)(IDirect3DDevice9Ex*, D3DPRESENT_PARAMETERS*, D3DDISPLAYMODEEX*);

// One redirected method: the entry in the method table (which still points at
// the patched code) and the trampoline that runs the original. A process has
// one device class, or two where a proxy stands in front of the real device.
struct WatchedMethod {
  void* entry;
  void* trampoline;
};
std::vector<WatchedMethod> resetMethods, resetExMethods;
bool deviceLost = false;

void* methodEntry(void* object, int slot) { return (*static_cast<void***>(object))[slot]; }

bool watched(const std::vector<WatchedMethod>& list, void* entry) {
  for (const WatchedMethod& m : list)
    if (m.entry == entry) return true;
  return false;
}

// The original for the object's class. A class whose table entry was not seen
// (a thunk into code already redirected) runs the first one seen.
void* originalFor(const std::vector<WatchedMethod>& list, void* object, int slot) {
  void* entry = methodEntry(object, slot);
  for (const WatchedMethod& m : list)
    if (m.entry == entry) return m.trampoline;
  return list.empty() ? nullptr : list.front().trampoline;
}

void redirect(std::vector<WatchedMethod>& list, void* object, int slot, void* replacement, const char* what) {
  void* entry = methodEntry(object, slot);
  if (!entry || watched(list, entry)) return;
  // Redirects live for the life of the process, as the host's device may.
  auto* detour = new CodeDetour(reinterpret_cast<std::uintptr_t>(entry), reinterpret_cast<std::uintptr_t>(replacement));
  logText(std::string(what) + (detour->installed ? FT(": installed") : FT(": could not be installed")));
  if (!detour->installed) {
    delete detour;
    return;
  }
  list.push_back(WatchedMethod{entry, reinterpret_cast<void*>(detour->trampolineEntry())});
}

void beforeReset() noexcept {
  try {
    logText(FT("Device reset: letting go of the gauge textures"));
    destroyGaugeRenderers();
  } catch (...) {
  }
}

void afterReset(IDirect3DDevice9* device, HRESULT hr) noexcept {
  try {
    // A new back-buffer size comes with a new window size: the panels
    // follow it.
    if (SUCCEEDED(hr)) measureClientWidth(device);
    logText(std::string(FT("Device reset: ")) + resultName(hr) + FT(", client width ") +
            std::to_string(clientWidth));
  } catch (...) {
  }
}

HRESULT __stdcall ResetHook(IDirect3DDevice9* self, D3DPRESENT_PARAMETERS* parameters) {
  auto original = reinterpret_cast<ResetFunction>(originalFor(resetMethods, self, kResetSlot));
  if (!original) return D3DERR_INVALIDCALL;
  beforeReset();
  const HRESULT hr = original(self, parameters);
  afterReset(self, hr);
  return hr;
}

HRESULT __stdcall ResetExHook(IDirect3DDevice9Ex* self, D3DPRESENT_PARAMETERS* parameters,
                              D3DDISPLAYMODEEX* mode) {
  auto original = reinterpret_cast<ResetExFunction>(originalFor(resetExMethods, self, kResetExSlot));
  if (!original) return D3DERR_INVALIDCALL;
  beforeReset();
  const HRESULT hr = original(self, parameters, mode);
  afterReset(self, hr);
  return hr;
}

}  // namespace

void watchDeviceReset(IDirect3DDevice9* device) {
  if (!device) return;
  // Known class: nothing to ask the device.
  if (watched(resetMethods, methodEntry(device, kResetSlot))) return;
  redirect(resetMethods, device, kResetSlot, reinterpret_cast<void*>(&ResetHook), FT("Device reset detour"));
  IDirect3DDevice9Ex* ex = nullptr;
  if (SUCCEEDED(device->QueryInterface(__uuidof(IDirect3DDevice9Ex), reinterpret_cast<void**>(&ex))) && ex) {
    redirect(resetExMethods, ex, kResetExSlot, reinterpret_cast<void*>(&ResetExHook),
             FT("Device extended reset detour"));
    ex->Release();
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
  if (hr == D3DERR_DEVICENOTRESET) destroyGaugeRenderers();
  return false;
}

}  // namespace ostrel
