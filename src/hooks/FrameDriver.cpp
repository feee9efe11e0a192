#include "hooks/FrameDriver.h"

#include <windows.h>

#include <chrono>

#include "TextureHandler.h"
#include "hooks/DeviceResetHook.h"
#include "hooks/GaugeRendererList.h"
#include "hooks/HookState.h"
#include "hooks/RendererLock.h"
#include "hooks/Startup.h"
#include "hooks/TextureLoadHook.h"
#include "panels/BestRunHUD.h"
#include "panels/CarDamageHUD.h"
#include "panels/DamagedPartTableHUD.h"
#include "panels/HostState.h"
#include "panels/TireHUD.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/PluginHost.h"
#include "plugin/SteadyClock.h"
#include "plugin/StoredSettings.h"
#include "telemetry/TelemetryOut.h"

namespace ostrel {
namespace {

using HostMember = std::uint32_t(__attribute__((thiscall)) *)(void*);
using clock = std::chrono::steady_clock;

std::int32_t lastGameMode = 0;
clock::time_point lastFrameTime = steadyNow();
std::uint32_t hostWidthSaved = 0;
// Whether the last frame saw the Home key down: one reload needs a frame
// with the key up before it, so a key that stays down (or an input state
// that reads up once in the middle of a press) never reloads twice.
bool homeSeenDown = false;

// The host block whose two words hold the screen width, or null.
std::uint8_t* screenBlock() {
  const std::uint8_t* g = host::pointers().gameStateBlock;
  return g ? host::field<std::uint8_t*>(g, host::kScreenBlockOffset) : nullptr;
}

void writeScreenWidth(std::uint8_t* block, std::uint32_t width) {
  __builtin_memcpy(block + host::kScreenWidthWordA, &width, sizeof width);
  __builtin_memcpy(block + host::kScreenWidthWordB, &width, sizeof width);
}

void reloadPanelsAndSettings() {
  HookState& hs = hookState();
  if (hs.carDamagePanel) hs.carDamagePanel->reload();
  if (hs.tirePanel) hs.tirePanel->reload();
  if (hs.damagedPartTablePanel) hs.damagedPartTablePanel->reload();
  if (hs.bestRunPanel) hs.bestRunPanel->reload();
  takeStoredSettings(SettingTaken::kOnEnteringMenu);
}

// One reload per press: wait for the release, but without spinning a core
// and without hanging the game on a key that never comes up.
void waitForHomeRelease() {
  const DWORD start = GetTickCount();
  while (GetAsyncKeyState(VK_HOME) & 0x8000) {
    if (GetTickCount() - start > 10000) {
      logText(FT("Gauge reload: the Home key is still down after 10 s; going on"));
      return;
    }
    Sleep(5);
  }
}

void runPanels(float dt) {
  HookState& hs = hookState();
  IHostGame* hostGame = pluginHost();
  if (hs.damagedPartTablePanel && hostGame && hs.damagedPartTablePanel->isVisible())
    hs.damagedPartTablePanel->draw(hostGame);
  if (hs.tirePanel && hostGame && hs.tirePanel->isVisible()) hs.tirePanel->draw(hostGame);
  if (CarDamageHUD* car = hs.carDamagePanel) {
    if (car->isVisible())
      car->drawDiagram(dt);
    else if (car->enabled != 0)
      car->idleReset();
  }
  // Followed whether it shows or not: the gauges read its values too.
  if (BestRunHUD* best = hs.bestRunPanel) {
    best->follow();
    if (hostGame && best->isVisible()) best->draw(hostGame);
  }
}

void frameWork() {
  HookState& hs = hookState();
  // 1. Game mode changes.
  const std::int32_t mode = host::gameMode();
  if (mode != lastGameMode) {
    lastGameMode = mode;
    if (mode == host::kModeMenus || mode == host::kModeDropsGauges) {
      const RendererLock lock;
      destroyGaugeRenderers();
    }
    if (mode == host::kModeMenus) {
      // Off the driving frames: a new best goes to its file.
      if (hs.bestRunPanel) hs.bestRunPanel->enteredMenu();
      reloadPanelsAndSettings();
    }
  }
  // 2, 3. The host's width words hold the client width while panels draw.
  // Not while the width is unknown: a width of 0 would be worse than the
  // host's own.
  std::uint8_t* screen = clientWidth != 0 ? screenBlock() : nullptr;
  if (screen) {
    if (hostWidthSaved == 0) hostWidthSaved = host::field<std::uint32_t>(screen, host::kScreenWidthWordA);
    writeScreenWidth(screen, static_cast<std::uint32_t>(clientWidth));
  }
  // 4. The car may change from frame to frame.
  host::refreshCarObject();
  {
    const RendererLock lock;
    followGameDevice();
  }
  // 5. Elapsed time, measured every call.
  const clock::time_point now = steadyNow();
  const float dt = static_cast<float>(secondsBetween(lastFrameTime, now));
  lastFrameTime = now;
  // 6-8. Panels; 9. width words back as the host had them.
  try {
    runPanels(dt);
  } catch (...) {
    if (screen) writeScreenWidth(screen, hostWidthSaved);
    throw;
  }
  if (screen) writeScreenWidth(screen, hostWidthSaved);
  telemetry::telemetryFrame();
  // 10. Home key: rebuild the gauges from their files.
  const bool homeDown =
      hs.gaugeReloadKeyEnabled != 0 && !hs.gaugeRenderers.empty() && (GetAsyncKeyState(VK_HOME) & 0x8000);
  if (homeDown && !homeSeenDown) {
    logText(FT("Gauge reload: rebuilding the gauge renderers"));
    rebuildGaugeRenderers();
    waitForHomeRelease();
  }
  homeSeenDown = homeDown;
}

// Said once: a fault that recurs every frame must not fill the log.
void logFrameFailureOnce(const char* what) {
  static bool said = false;
  if (said) return;
  said = true;
  logText(std::string(FT("Frame hook failed and skipped the plug-in's work: ")) + what);
}

}  // namespace

void followGameDevice() {
  IDirect3DDevice9* now = host::readDevicePointer();
  IDirect3DDevice9*& known = host::pointers().device;
  if (now && now != known) {
    logText(FT("Device: the game uses a new device"));
    // The old device lives on while our textures hold it; they go now.
    if (known) {
      const int dropped = dropGaugeRenderersNotOf(now);
      if (dropped > 0)
        logText(std::string(FT("Gauges: dropping ")) + std::to_string(dropped) +
                FT(" gauge renderer(s) of the old device"));
    }
    known = now;
    measureClientWidth(now);
    watchDeviceReset(now);
    if (CarDamageHUD* car = hookState().carDamagePanel) car->deviceChanged();
  }
  // A Reset matters only while renderers hold device objects.
  if (!hookState().gaugeRenderers.empty()) checkResetRedirects();
}

std::uint32_t __attribute__((thiscall)) FrameHook(void* self) {
  try {
    frameWork();
  } catch (const std::exception& e) {
    logFrameFailureOnce(e.what());
  } catch (...) {
    logFrameFailureOnce(FT("unknown error"));
  }
  auto original = reinterpret_cast<HostMember>(hookState().frameTrampoline);
  return original ? original(self) : 0;
}

std::uint32_t __attribute__((thiscall)) GaugeRenderHook(void* self) {
  auto original = reinterpret_cast<HostMember>(hookState().gaugeTrampoline);
  const std::uint32_t result = original ? original(self) : 0;
  try {
    const std::int32_t mode = host::gameMode();
    // A loader thread may bind a renderer to a new texture, a window thread
    // Reset the device: neither in the middle of a renderer's frame.
    const RendererLock lock;
    const auto& list = hookState().gaugeRenderers;
    if ((mode != host::kModeDrivingStage && mode != host::kModeShowInMode8) || list.empty()) return result;
    const DeviceLoss loss = followDeviceLoss(gaugeRenderDevice());
    // Nothing held across a loss: the host's Reset then needs no redirect of ours.
    if (loss == DeviceLoss::kLostNow) releaseGaugeDeviceObjects(nullptr);
    if (loss != DeviceLoss::kDrawable) return result;
    for (const auto& r : list)
      if (r) r->Render();
  } catch (...) {
    static bool said = false;
    if (!said) logText(FT("Gauge hook failed and skipped the gauges this frame"));
    said = true;
  }
  return result;
}

}  // namespace ostrel
