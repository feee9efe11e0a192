#include "hooks/Startup.h"

#include <windows.h>
#include <d3d9.h>

#include <filesystem>
#include <system_error>

#include "hooks/DetourRegistry.h"
#include "hooks/DeviceResetHook.h"
#include "hooks/FolderSync.h"
#include "hooks/FrameDriver.h"
#include "hooks/HookState.h"
#include "hooks/PluginFiles.h"
#include "hooks/TextureLoadHook.h"
#include "panels/BestRunHUD.h"
#include "panels/CarDamageHUD.h"
#include "panels/DamagedPartTableHUD.h"
#include "panels/HostState.h"
#include "panels/TireHUD.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"
#include "plugin/Settings.h"
#include "plugin/StoredSettings.h"
#include "plugin/WideText.h"

namespace fs = std::filesystem;

namespace ostrel {
namespace {

using namespace plugin_files;

void findHost() {
  HMODULE exe = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, nullptr, &exe) || !exe) {
    logText(FT("Start-up: the host executable's module handle is not available"));
    return;
  }
  host::findHostPointers(reinterpret_cast<std::uintptr_t>(exe));
  measureClientWidth(host::pointers().device);
  watchDeviceReset(host::pointers().device);
}

// The trampoline, or null when the detour is refused. Handed out only once
// written: the gauge loader calls the texture trampoline directly, not
// through the patch.
void* installDetour(std::uintptr_t target, void* replacement, const char* what) {
  CodeDetour& detour = detours().make(target, reinterpret_cast<std::uintptr_t>(replacement));
  const bool enabled = detour.enable() == DetourOutcome::Enabled;
  logText(std::string(what) + (enabled ? FT(": installed") : FT(": could not be installed")));
  return enabled ? reinterpret_cast<void*>(detour.trampolineEntry()) : nullptr;
}

}  // namespace

std::int32_t clientWidth = 0;

void measureClientWidth(IDirect3DDevice9* device) {
  if (!device) return;
  D3DDEVICE_CREATION_PARAMETERS params{};
  if (FAILED(device->GetCreationParameters(&params))) return;
  RECT rect{};
  if (GetClientRect(params.hFocusWindow, &rect)) clientWidth = rect.right - rect.left;
}

void collectGaugeTextures(const std::string& root) {
  if (!exists(root)) {
    logText(std::string(FT("Gauges: no gauge folder ")) + root);
    return;
  }
  std::error_code ec;
  fs::directory_iterator it(pathOf(root), ec), end;
  if (ec) {
    logFsError(FT("Gauges: cannot list "), root, ec);
    return;
  }
  const char* definitionNames[2] = {FT("Gauges.ini"), FT("Gauges2.ini")};
  for (; it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) continue;
    const std::string folderName = textOf(it->path().filename());
    for (const char* fileName : definitionNames) {
      const std::string definition = textOf(it->path() / fileName);
      if (!exists(definition)) continue;
      const std::string target = readSettingText(FT("Texture"), FT("Target"), "", definition);
      if (target.empty()) continue;
      const std::string key = normalisePath(std::string(FT("cars/")) + folderName + FT("/") + target);
      hookState().gaugeTextureMap.emplace(key, normalisePath(definition));
    }
  }
  if (ec) logFsError(FT("Gauges: listing stopped early in "), root, ec);
}

void loadHookConfiguration() {
  HookState& hs = hookState();
  takeStoredSettings(SettingTaken::kAtStartup);

  // A player's own sets come first: the first definition to claim a texture keeps it.
  collectGaugeTextures(folderPath(FT("CustomGauges")));
  collectGaugeTextures(folderPath(FT("Gauges")));
  logText(FT("Gauge textures:"));
  for (const auto& [key, value] : hs.gaugeTextureMap)
    logText(std::string(FT("  texture ")) + key + FT(" -> ") + value);

  HMODULE texUtil = GetModuleHandleA(FT("kvxtexutil.dll"));
  if (!texUtil) {
    logText(FT("Texture utility module kvxtexutil.dll is not loaded: gauges are off"));
  } else {
    hs.textureLoadTrampoline = installDetour(reinterpret_cast<std::uintptr_t>(texUtil) + host::kTextureCreateOffset,
                                             reinterpret_cast<void*>(&TextureLoadHook),
                                             FT("Texture creation detour"));
  }

  const std::string syncRoot = folderPath(FT("GaugeTemplates"));
  if (!exists(syncRoot)) return;
  std::error_code ec;
  fs::directory_iterator it(pathOf(syncRoot), ec), end;
  if (ec) {
    logFsError(FT("Gauge templates: cannot list "), syncRoot, ec);
    return;
  }
  for (; it != end; it.increment(ec)) {
    std::error_code e;
    if (it->is_directory(e)) syncGaugeFolder(textOf(it->path().filename()));
  }
}

void runQueryNameStartup() {
  logText(FT("QueryName called"));
  HookState& hs = hookState();
  if (hs.startupDone) return;
  hs.startupDone = true;

  const std::string folder = pluginFolder() + FT("\\");
  installDefaultFiles({folder + FT("TireHUD.ini"), folder + FT("carDamageHUD.ini"),
                       folder + FT("DamagedPartTableHUD.ini"), folder + FT("BestRunHUD.ini"), folder + FT("gauges.ini"),
                       folder + FT("OSTREL.ini"), folder + FT("carDamageHUD"), folder + FT("Gauges")});
  logText(FT("Start-up: finding the host"));
  findHost();

  hs.damagedPartTablePanel = new DamagedPartTableHUD();
  auto* tire = new TireHUD();
  tire->columnSpacing = 35.0f;
  tire->rowSpacing = 60.0f;
  tire->barHeight = 40.0f;
  tire->segmentWidth = 2;
  hs.tirePanel = tire;
  hs.carDamagePanel = new CarDamageHUD();
  hs.bestRunPanel = new BestRunHUD();

  hs.frameTrampoline = installDetour(host::kFrameFunction, reinterpret_cast<void*>(&FrameHook),
                                     FT("Frame detour"));
  hs.gaugeTrampoline = installDetour(host::kGaugePointFunction, reinterpret_cast<void*>(&GaugeRenderHook),
                                     FT("Gauge detour"));
  loadHookConfiguration();
}

}  // namespace ostrel
