#include "DeviceTools.h"

#include <windows.h>

#include "OverlayApi.h"

namespace simhost {
namespace {

template <typename F>
F bind(HMODULE library, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

LRESULT CALLBACK toolWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

// What the tool shows in its own window: a clear and a Present.
void showToolFrame(IDirect3DDevice9* device) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF202060, 1.0f, 0);
  device->Present(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

DeviceTools::~DeviceTools() { releaseToolDevice(); }

bool DeviceTools::load() {
  if (library_) return true;
  if (loadFailed_) return false;
  library_ = LoadLibraryA("simhost_overlay.dll");
  if (!library_) {
    loadFailed_ = true;
    log_.record("fault", "cannot load simhost_overlay.dll (Windows error %lu)", GetLastError());
    return false;
  }
  log_.note("tools library loaded");
  return true;
}

void DeviceTools::takeNotes() {
  if (!library_) return;
  if (threadPending_) {
    auto wait = bind<int (*)(unsigned)>(library_, "simhostOverlayWait");
    if (wait && wait(0)) {
      threadPending_ = false;
      log_.note("overlay thread finished");
    }
  }
  auto next = bind<int (*)(char*, int)>(library_, "simhostToolsNextNote");
  char text[300];
  while (next && next(text, sizeof text)) log_.note("%s", text);
}

void DeviceTools::settle() {
  if (!threadPending_) return;
  auto wait = bind<int (*)(unsigned)>(library_, "simhostOverlayWait");
  if (wait && wait(30000)) log_.note("overlay thread finished (waited for)");
  else log_.record("fault", "overlay thread did not finish");
  threadPending_ = false;
  takeNotes();
}

void DeviceTools::overlayStep(OverlayStep step, IDirect3DDevice9* device) {
  if (!load()) return;
  overlayUsed_ = true;
  int ok = 0;
  const char* what = "";
  switch (step) {
    case OverlayStep::After:
      ok = bind<int (*)(IDirect3DDevice9*)>(library_, "simhostOverlayInstall")(device);
      what = "install";
      break;
    case OverlayStep::LateThread:
      ok = bind<int (*)(IDirect3DDevice9*)>(library_, "simhostOverlayInstallFromThread")(device);
      threadPending_ = ok != 0;
      what = "install thread start";
      break;
    case OverlayStep::Off:
      settle();
      ok = bind<int (*)()>(library_, "simhostOverlayRemove")();
      what = "removal";
      break;
  }
  log_.note("overlay %s %s", what, ok ? "done" : "failed");
  takeNotes();
}

void DeviceTools::methodTableStep(MethodTableStep step, IDirect3DDevice9* device) {
  if (!load()) return;
  tableUsed_ = true;
  int ok = 0;
  if (step == MethodTableStep::Off) ok = bind<int (*)()>(library_, "simhostMethodTableUnhook")();
  else ok = bind<int (*)(IDirect3DDevice9*, int)>(library_, "simhostMethodTableHook")(device, step == MethodTableStep::Jump);
  log_.note("method-table tool %s %s", step == MethodTableStep::Off ? "unhook" : "hook", ok ? "done" : "failed");
  takeNotes();
}

void DeviceTools::toolDeviceStep(ToolDeviceStep step, IDirect3D9* d3d, int& resetFaults) {
  if (step == ToolDeviceStep::Release) {
    releaseToolDevice();
    return;
  }
  if (step == ToolDeviceStep::Reset) {
    if (!toolDevice_) {
      log_.note("tool device reset: no tool device");
      return;
    }
    D3DPRESENT_PARAMETERS pp = toolPresent_;
    const HRESULT hr = toolDevice_->Reset(&pp);
    log_.note("tool device reset hr=%08lX", static_cast<unsigned long>(hr));
    if (FAILED(hr)) {
      ++resetFaults;
      log_.record("fault", "tool device Reset failed hr=%08lX", static_cast<unsigned long>(hr));
      return;
    }
    showToolFrame(toolDevice_);
    return;
  }
  if (toolDevice_) return;
  WNDCLASSA wc{};
  wc.lpfnWndProc = toolWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SimhostToolWindow";
  RegisterClassA(&wc);
  toolWindow_ = CreateWindowA("SimhostToolWindow", "tool", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 660, 0, 200, 160,
                              nullptr, nullptr, wc.hInstance, nullptr);
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.BackBufferWidth = 160;
  pp.BackBufferHeight = 120;
  pp.hDeviceWindow = toolWindow_;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  toolPresent_ = pp;
  const HRESULT hr = toolWindow_ ? d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, toolWindow_,
                                                     D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE,
                                                     &pp, &toolDevice_)
                                 : E_FAIL;
  if (FAILED(hr)) {
    toolDevice_ = nullptr;
    log_.record("fault", "tool device not created hr=%08lX", static_cast<unsigned long>(hr));
    return;
  }
  log_.note("tool device created 160x120");
  showToolFrame(toolDevice_);
}

void DeviceTools::releaseToolDevice() {
  if (toolDevice_) {
    const ULONG left = toolDevice_->Release();
    log_.note("tool device released, references left %lu", static_cast<unsigned long>(left));
  }
  toolDevice_ = nullptr;
  if (toolWindow_) DestroyWindow(toolWindow_);
  toolWindow_ = nullptr;
}

void DeviceTools::noteCounts() {
  if (!library_) return;
  settle();
  int resets = 0, presents = 0;
  if (overlayUsed_) {
    bind<void (*)(int*, int*)>(library_, "simhostOverlayCounts")(&resets, &presents);
    log_.note("overlay hook calls reset=%d present=%d", resets, presents);
  }
  if (tableUsed_) {
    bind<void (*)(int*, int*)>(library_, "simhostMethodTableCounts")(&resets, &presents);
    log_.note("method-table tool calls reset=%d present=%d", resets, presents);
  }
  takeNotes();
}

}  // namespace simhost
