#include "hooks/Startup.h"

#include <windows.h>
#include <d3d9.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "hooks/DetourRegistry.h"
#include "hooks/DeviceResetHook.h"
#include "hooks/FrameDriver.h"
#include "hooks/HookState.h"
#include "hooks/TextureLoadHook.h"
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

std::string folderPath(const char* sub) { return pluginFolder() + FT("\\") + sub; }

// Paths cross between the plug-in's narrow (ANSI) texts and the file system
// only here, so a folder named in the code page's other letters is found.
fs::path pathOf(const std::string& ansi) { return fs::path(widen(ansi)); }
std::string textOf(const fs::path& path) { return narrow(path.wstring()); }

// Every file-system step of start-up reports its failure with the path and
// lets start-up go on: a locked or unreadable folder must not stop the game.
void logFsError(const char* what, const std::string& path, const std::error_code& ec) {
  logText(std::string(what) + path + FT(" (") + ec.message() + FT(")"));
}

bool exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(pathOf(path), ec);
}

bool sameContents(const fs::path& a, const fs::path& b) {
  std::error_code ea, eb;
  const auto size = fs::file_size(a, ea);
  if (ea || size != fs::file_size(b, eb) || eb) return false;
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  char ba[4096], bb[4096];
  while (fa && fb) {
    fa.read(ba, sizeof ba);
    fb.read(bb, sizeof bb);
    if (fa.gcount() != fb.gcount() || std::memcmp(ba, bb, static_cast<std::size_t>(fa.gcount())) != 0) return false;
  }
  return fa.eof() && fb.eof();
}

// The template replaces the player's file, which is kept as `backup`, with
// no half state left by a failure on the way: the template is copied beside
// the target first (a locked template or a full disk stops here, nothing
// changed), then the player's file moves to the backup and the copy into its
// place; if that last move fails, the player's file is put back.
void replaceKeepingBackup(const fs::path& from, const fs::path& dest, const fs::path& backup) {
  const fs::path incoming = dest.wstring() + widen(FT(".new"));
  std::error_code e;
  fs::copy_file(from, incoming, fs::copy_options::overwrite_existing, e);
  if (e) {
    logFsError(FT("Gauge templates: cannot copy to "), textOf(dest), e);
    fs::remove(incoming, e);
    return;
  }
  fs::rename(dest, backup, e);
  if (e) {
    logFsError(FT("Gauge templates: cannot back up "), textOf(dest), e);
    fs::remove(incoming, e);
    return;
  }
  fs::rename(incoming, dest, e);
  if (!e) return;
  logFsError(FT("Gauge templates: cannot copy to "), textOf(dest), e);
  std::error_code undo;
  fs::rename(backup, dest, undo);
  if (undo) logFsError(FT("Gauge templates: the player's file stays as "), textOf(backup), undo);
  fs::remove(incoming, undo);
}

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

void measureClientWidth(IDirect3DDevice9* device) {
  if (!device) return;
  D3DDEVICE_CREATION_PARAMETERS params{};
  if (FAILED(device->GetCreationParameters(&params))) return;
  RECT rect{};
  if (GetClientRect(params.hFocusWindow, &rect)) clientWidth = rect.right - rect.left;
}

void installDefaultFiles(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (exists(path)) continue;
    const std::string templatePath = path + FT(".default");
    if (!exists(templatePath)) continue;
    std::error_code ec;
    // Folders come with everything in them: the damage texture set lives a
    // level below its folder.
    fs::copy(pathOf(templatePath), pathOf(path), fs::copy_options::recursive, ec);
    if (ec)
      logFsError(FT("Default files: could not install "), path, ec);
    else
      logText(std::string(FT("Default files: installed ")) + path);
  }
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

void syncTree(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::directory_iterator it(pathOf(from), ec), end;
  if (ec) {
    logFsError(FT("Gauge templates: cannot list "), from, ec);
    return;
  }
  for (; it != end; it.increment(ec)) {
    const fs::path dest = pathOf(to) / it->path().filename();
    std::error_code e;
    if (it->is_regular_file(e)) {
      if (!fs::exists(dest, e)) continue;  // files are never added to a target
      if (dest.extension() == FT(".ini")) {
        mergeSettingsFile(textOf(it->path()), textOf(dest));
        continue;
      }
      // A file the template does not change stays as it is: backing up an
      // identical copy would use up the one backup before a release changes it.
      if (sameContents(it->path(), dest)) continue;
      const fs::path backup = dest.wstring() + widen(FT(".bak"));
      if (fs::exists(backup, e)) continue;  // replaced once already
      replaceKeepingBackup(it->path(), dest, backup);
    } else if (it->is_directory(e) && fs::exists(dest, e)) {
      syncTree(textOf(it->path()), textOf(dest));
    }
  }
  if (ec) logFsError(FT("Gauge templates: listing stopped early in "), from, ec);
}

void syncGaugeFolder(const std::string& name) {
  const std::string templateTree = folderPath(FT("GaugeTemplates")) + FT("\\") + name;
  const std::string targetTree = folderPath(FT("Gauges")) + FT("\\") + name;
  if (exists(targetTree)) syncTree(templateTree, targetTree);
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
                       folder + FT("DamagedPartTableHUD.ini"), folder + FT("gauges.ini"),
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

  hs.frameTrampoline = installDetour(host::kFrameFunction, reinterpret_cast<void*>(&FrameHook),
                                     FT("Frame detour"));
  hs.gaugeTrampoline = installDetour(host::kGaugePointFunction, reinterpret_cast<void*>(&GaugeRenderHook),
                                     FT("Gauge detour"));
  loadHookConfiguration();
}

}  // namespace ostrel
