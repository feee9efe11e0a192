#include "FuzzChild.h"

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "D3DTestDevice.h"
#include "FuzzCases.h"
#include "FuzzHost.h"
#include "KVX/D3D9Helpers.h"
#include "TestPaths.h"
#include "TextureHandler.h"
#include "hooks/HookState.h"
#include "panels/CarDamageHUD.h"
#include "panels/DamagedPartTableHUD.h"
#include "panels/TireHUD.h"
#include "plugin/PluginState.h"
#include "plugin/Settings.h"
#include "plugin/WideText.h"
#if __has_include("hooks/TextureLoadHook.h")
#include "hooks/Startup.h"
#define OSTREL_FUZZ_HOOK_CONFIGURATION 1
#endif

namespace fs = std::filesystem;

namespace fuzz {
namespace {

void say(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string sourcePath(const std::string& relative) { return testing_support::sourceDir() + "\\" + relative; }

const char* const kPluginFolder = ".\\Plugins\\OSTREL";
const char* const kGaugeDefinition = ".\\Plugins\\OSTREL\\Gauges\\Car1\\Gauges.ini";
const char* const kImageFile = ".\\Plugins\\OSTREL\\fuzz-image.png";
const char* const kHostTexture = ".\\Cars\\Car1\\Textures\\dashboard.png";

std::string targetFile(Kind k) {
  const std::string folder = kPluginFolder;
  switch (k) {
    case Kind::TireSettings: return folder + "\\TireHUD.ini";
    case Kind::CarDamageSettings: return folder + "\\carDamageHUD.ini";
    case Kind::PartTableSettings: return folder + "\\DamagedPartTableHUD.ini";
    case Kind::PluginSettings: return folder + "\\OSTREL.ini";
    case Kind::GaugeSettings: return folder + "\\gauges.ini";
    case Kind::GaugeDefinition: return kGaugeDefinition;
    case Kind::Image: return kImageFile;
  }
  return {};
}

// The normalised form the texture hook hands a renderer.
std::string normalised(std::string path) {
  for (char& c : path) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return path;
}

// A fresh game folder: the shipped default files, the damage images, the
// sample gauge set and the host's car files. Empty on success, else what
// failed.
std::string prepareFolder() {
  std::error_code ec;
  fs::remove_all("Plugins", ec);
  fs::remove_all("Cars", ec);
  fs::create_directories(kPluginFolder, ec);
  const fs::copy_options deep = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
  const std::pair<std::string, std::string> copies[] = {
      {sourcePath("assets\\plugin\\carDamageHUD.default"), std::string(kPluginFolder) + "\\carDamageHUD"},
      {sourcePath("assets\\plugin\\Gauges.default"), std::string(kPluginFolder) + "\\Gauges"},
      {sourcePath("simhost\\game\\Cars"), "Cars"}};
  for (const auto& [from, to] : copies) {
    fs::copy(from, to, deep, ec);
    if (ec) return from + " -> " + to + ": " + ec.message();
  }
  return {};
}

// BMP, JPEG and DDS files made from a small texture, to be renamed .png.
std::vector<Bytes> otherFormats(IDirect3DDevice9* device) {
  std::vector<Bytes> out;
  IDirect3DTexture9* t = nullptr;
  if (FAILED(device->CreateTexture(37, 21, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr))) return out;
  D3DLOCKED_RECT lr{};
  if (SUCCEEDED(t->LockRect(0, &lr, nullptr, 0))) {
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 37; ++x)
        reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = 0xFF000000u | (x * 7) << 16 | (y * 11) << 8;
    t->UnlockRect(0);
  }
  for (D3DXIMAGE_FILEFORMAT f : {D3DXIFF_BMP, D3DXIFF_JPG, D3DXIFF_DDS}) {
    ID3DXBuffer* buffer = nullptr;
    if (SUCCEEDED(D3DXSaveTextureToFileInMemory(&buffer, f, t, nullptr)) && buffer) {
      auto* p = static_cast<const std::uint8_t*>(buffer->GetBufferPointer());
      out.emplace_back(p, p + buffer->GetBufferSize());
      buffer->Release();
    }
  }
  t->Release();
  return out;
}

Seeds loadSeeds(IDirect3DDevice9* device) {
  Seeds s;
  s.text[static_cast<int>(Kind::TireSettings)] = readFileBytes(sourcePath("assets\\plugin\\TireHUD.ini.default"));
  s.text[static_cast<int>(Kind::CarDamageSettings)] = readFileBytes(sourcePath("assets\\plugin\\carDamageHUD.ini.default"));
  s.text[static_cast<int>(Kind::PartTableSettings)] = readFileBytes(sourcePath("assets\\plugin\\DamagedPartTableHUD.ini.default"));
  const std::string plugin = "; Plug-in switches\r\n[Plugin]\r\nGaugeReloadKey=1\r\n";
  s.text[static_cast<int>(Kind::PluginSettings)] = Bytes(plugin.begin(), plugin.end());
  const std::string gauges = "[Gauges]\r\nEnabled=1\r\nRefreshRate=30\r\n";
  s.text[static_cast<int>(Kind::GaugeSettings)] = Bytes(gauges.begin(), gauges.end());
  s.text[static_cast<int>(Kind::GaugeDefinition)] = readFileBytes(sourcePath("assets\\plugin\\Gauges.default\\Car1\\Gauges.ini"));
  for (const char* png : {"Gauges.default\\Car1\\needle.png", "Gauges.default\\Car1\\digits.png",
                          "Gauges.default\\Car1\\dash_base.png", "carDamageHUD.default\\Standard\\00_outline.png"})
    s.images.push_back(readFileBytes(sourcePath(std::string("assets\\plugin\\") + png)));
  s.others = otherFormats(device);
  return s;
}

// Profile reads may be served from a cache of the last file; a case must see
// the bytes it just wrote.
void flushProfileCache(const std::string& file) { WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str()); }

class CaseRunner {
 public:
  explicit CaseRunner(testing_support::D3DTestDevice& dev) : dev_(dev) {}
  void run(Kind kind);
  // Empty when the unmutated files load fully, else what did not.
  std::string checkIntactFiles();

 private:
  void settingsPanels(Kind kind);
  void gaugeRenderer(const std::string& definition, const std::string& baseImage);
  void image();
  void freshState();
  IDirect3DTexture9* gaugeTarget();

  testing_support::D3DTestDevice& dev_;
  std::unique_ptr<FuzzHostMemory> memory_;
  SilentHost host_;
  IDirect3DTexture9* target_ = nullptr;
};

void CaseRunner::freshState() {
  memory_ = std::make_unique<FuzzHostMemory>();
  memory_->install(dev_.device());
  ostrel::HookState& hs = ostrel::hookState();
  hs.gaugeTextureMap.clear();
  hs.gaugeRenderers.clear();
  hs.gaugeReloadKeyEnabled = 0;
  ostrel::gaugesEnabled = true;
  ostrel::refreshRate = 0;
  ostrel::lastBoundTexture = nullptr;
}

IDirect3DTexture9* CaseRunner::gaugeTarget() {
  if (!target_)
    dev_.device()->CreateTexture(512, 256, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target_, nullptr);
  return target_;
}

void CaseRunner::gaugeRenderer(const std::string& definition, const std::string& baseImage) {
  auto handler = std::make_unique<ostrel::TextureHandler>(dev_.device(), gaugeTarget(), definition, baseImage);
  dev_.begin();
  for (int frame = 0; frame < 3; ++frame) handler->Render();
  dev_.end();
}

void CaseRunner::settingsPanels(Kind kind) {
  switch (kind) {
    case Kind::TireSettings: {
      ostrel::TireHUD tire;
      tire.reload();
      memory_->put(memory_->carState, 0x244, 2.0f);  // waiting for the start
      tire.isVisible();
      tire.draw(&host_);
      break;
    }
    case Kind::CarDamageSettings: {
      ostrel::CarDamageHUD car;
      car.reload();
      dev_.begin();
      car.isVisible();
      for (int frame = 0; frame < 3; ++frame) car.drawDiagram(0.6f);  // past the classification tick
      car.idleReset();
      dev_.end();
      break;
    }
    case Kind::PartTableSettings: {
      ostrel::DamagedPartTableHUD table;
      table.reload();
      memory_->put(memory_->carState, 0x144, std::int32_t{1});  // finished
      table.isVisible();
      table.stepBlink();
      table.draw(&host_);
      break;
    }
    default: break;
  }
}

void CaseRunner::image() {
  IDirect3DTexture9* texture = nullptr;
  std::int32_t w = 0, h = 0;
  if (SUCCEEDED(ostrel::loadTextureFromFile(dev_.device(), ostrel::widen(kImageFile), &texture, &w, &h)) && texture)
    texture->Release();
  ostrel::TexturedRect rect;
  ostrel::loadTexturedRect(dev_.device(), ostrel::widen(kImageFile), 10.0f, 10.0f, 0.0f, 0.0f, &rect);
  if (rect.texture) {
    dev_.begin();
    ostrel::SetupVertex2DRenderState(dev_.device());
    ostrel::drawTexturedQuad(dev_.device(), rect);
    dev_.end();
  }
  // The same file as a gauge texture's base image (the host's own loader).
  gaugeRenderer(normalised(kGaugeDefinition), kImageFile);
}

std::string CaseRunner::checkIntactFiles() {
  freshState();
  {
    ostrel::TextureHandler handler(dev_.device(), gaugeTarget(), normalised(kGaugeDefinition), kHostTexture);
    const ostrel::TextureHandler::LoadedSet set = handler.loadedSet();
    if (!handler.active() || set.elements < 5 || set.effects == 0)
      return "the sample gauge set loads " + std::to_string(set.elements) + " elements";
  }
  {
    ostrel::CarDamageHUD car;
    int loaded = 0;
    for (const auto& slot : car.textures) loaded += slot.texture != nullptr;
    if (loaded < 60 || car.enabled == 0) return "the car damage panel loads " + std::to_string(loaded) + " images";
  }
  {
    IDirect3DTexture9* texture = nullptr;
    std::int32_t w = 0, h = 0;
    if (FAILED(ostrel::loadTextureFromFile(dev_.device(), ostrel::widen(kImageFile), &texture, &w, &h)) || !texture)
      return "the intact image does not load";
    texture->Release();
  }
  run(Kind::GaugeDefinition);
  run(Kind::Image);
  return {};
}

void CaseRunner::run(Kind kind) {
  freshState();
  switch (kind) {
    case Kind::TireSettings:
    case Kind::CarDamageSettings:
    case Kind::PartTableSettings:
      settingsPanels(kind);
      break;
    case Kind::PluginSettings: {
      const std::string file = targetFile(kind);
      ostrel::readSettingInt("Plugin", "GaugeReloadKey", 0, file);
#ifdef OSTREL_FUZZ_HOOK_CONFIGURATION
      ostrel::loadHookConfiguration();
#endif
      // Start-up merges template settings files into the player's copies.
      const std::string copy = std::string(kPluginFolder) + "\\merge-target.ini";
      writeFileBytes(copy, readFileBytes(sourcePath("assets\\plugin\\TireHUD.ini.default")));
      flushProfileCache(copy);
      ostrel::mergeSettingsFile(file, copy);
      flushProfileCache(copy);
      ostrel::mergeSettingsFile(copy, file);
      break;
    }
    case Kind::GaugeSettings: {
      ostrel::PluginState state(&host_);
      (void)state;
      gaugeRenderer(normalised(kGaugeDefinition), kHostTexture);
      break;
    }
    case Kind::GaugeDefinition:
#ifdef OSTREL_FUZZ_HOOK_CONFIGURATION
      ostrel::collectGaugeTextures(std::string(kPluginFolder) + "\\Gauges");
#endif
      gaugeRenderer(normalised(kGaugeDefinition), kHostTexture);
      break;
    case Kind::Image:
      image();
      break;
  }
}

// The shipped intact file for a kind, restored after each case so that the
// next case of another kind meets a sane folder.
void restoreDefaults(const Seeds& seeds) {
  for (int i = 0; i < kKindCount; ++i) {
    const Kind k = static_cast<Kind>(i);
    const Bytes& content = k == Kind::Image ? seeds.images.front() : seeds.text[i];
    writeFileBytes(targetFile(k), content);
    flushProfileCache(targetFile(k));
  }
}

std::vector<std::string> readList(const std::string& path) {
  std::vector<std::string> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) out.push_back(line);
  }
  return out;
}

// Deliberate failures, so the suite can show that the parent catches each.
void injectedFault(const std::string& spec, std::uint64_t index) {
  for (const char* what : {"crash", "hang", "throw"}) {
    const std::string tag = std::string(what) + ":" + std::to_string(index);
    const std::size_t at = spec.find(tag);
    if (at == std::string::npos || (at + tag.size() < spec.size() && spec[at + tag.size()] != ',')) continue;
    if (what[0] == 'c') *static_cast<volatile int*>(nullptr) = 1;
    if (what[0] == 'h') Sleep(INFINITE);
    throw std::runtime_error("injected");
  }
}

}  // namespace

int runChild(const ChildOptions& options) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  std::string problem = prepareFolder();
  for (int attempt = 0; !problem.empty() && attempt < 5; ++attempt) {
    Sleep(500);  // a child killed a moment ago may still hold its files
    problem = prepareFolder();
  }
  if (!problem.empty()) {
    say("! cannot prepare the game folder: " + problem);
    return 3;
  }
  testing_support::D3DTestDevice dev(640, 480);
  if (!dev.ok()) {
    say("! no Direct3D 9 device");
    return 3;
  }
  const Seeds seeds = loadSeeds(dev.device());
  const std::vector<std::string> replay = options.listFile.empty() ? std::vector<std::string>{} : readList(options.listFile);
  const std::uint64_t count = options.listFile.empty() ? options.count : replay.size();
  CaseRunner runner(dev);
  // The first image decode and gauge set of a process pay for the platform's
  // own start-up; pay it here so that the per-case clock measures the case.
  // It also proves the cases reach the loaders: the intact files must load
  // to something, or every mutation would test nothing.
  restoreDefaults(seeds);
  try {
    const std::string problem = runner.checkIntactFiles();
    if (!problem.empty()) {
      say("! " + problem);
      return 3;
    }
  } catch (...) {
    say("! the intact files fail to load");
    return 3;
  }
  const auto start = std::chrono::steady_clock::now();
  std::uint64_t ran = 0;
  for (std::uint64_t i = options.from; i < count; ++i) {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (options.seconds > 0.0 && elapsed >= options.seconds) break;
    restoreDefaults(seeds);
    Case c;
    if (replay.empty()) {
      c = makeCase(seeds, options.seed, i);
    } else {
      const std::string name = fs::path(replay[i]).filename().string();
      if (!kindFromFileName(name, c.kind)) continue;
      c.content = readFileBytes(replay[i]);
      c.description = name;
    }
    writeFileBytes("case-current.bin", c.content);
    writeFileBytes(targetFile(c.kind), c.content);
    flushProfileCache(targetFile(c.kind));
    say("B " + std::to_string(i) + " " + kindPrefix(c.kind) + " " + c.description);
    const auto t0 = std::chrono::steady_clock::now();
    try {
      injectedFault(options.inject, i);
      runner.run(c.kind);
    } catch (const std::exception& e) {
      say("X " + std::to_string(i) + " " + e.what());
    } catch (...) {
      say("X " + std::to_string(i) + " unknown exception");
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    say("E " + std::to_string(i) + " " + std::to_string(ms));
    ++ran;
  }
  say("Q " + std::to_string(ran));
  return 0;
}

}  // namespace fuzz
