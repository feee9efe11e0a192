#include "Stage.h"

#include <windows.h>
#include <psapi.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "CallLog.h"
#include "CountingDevice.h"
#include "HostAbi.h"
#include "DeviceStateCheck.h"
#include "DeviceTools.h"
#include "HostGame.h"
#include "HostMemory.h"
#include "ImageFiles.h"

namespace simhost {
namespace {

using TextureFunction = HRESULT(WINAPI*)(IDirect3DDevice9*, const char*, UINT, UINT, UINT, DWORD, D3DFORMAT,
                                         D3DPOOL, DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*, PALETTEENTRY*,
                                         IDirect3DTexture9**);
using FrameEntry = int(SIMHOST_THISCALL*)(void*);
// Exported by the allocation-counting build of the plug-in only.
using AllocationCountFn = unsigned long long (*)();

struct ColourVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
};
struct TexturedVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
  float u, v;
};

double nowSeconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// What the host's own two functions see and do; they run from the stubs.
struct HostFrameObject {
  int frame = 0;
  double bodySeconds = 0.0;
  int wrongThis = 0;
  HostGame* game = nullptr;
  float clock = 0.0f;
} frameObject;

struct GaugePointState {
  double bodySeconds = 0.0;
  int calls = 0;
} gaugePoint;

constexpr int kGaugePointResult = 0x4BF7;

// The host's per-frame function: light drawing only, a HUD line in a corner.
__attribute__((thiscall)) int hostFrameFunction(HostFrameObject* self) {
  double t0 = nowSeconds();
  if (self != &frameObject) {
    ++frameObject.wrongThis;
    return -1;
  }
  if (self->game) {
    char line[64];
    std::snprintf(line, sizeof line, "HOST %d", self->frame);
    self->game->hostText(560, 4, line, 0xFFE0E0E0);
  }
  int result = self->frame;
  self->bodySeconds += nowSeconds() - t0;
  return result;
}

// The host function after which the plug-in renders its gauges.
__attribute__((thiscall)) int hostGaugePointFunction(void*) {
  double t0 = nowSeconds();
  ++gaugePoint.calls;
  gaugePoint.bodySeconds += nowSeconds() - t0;
  return kGaugePointResult;
}

LRESULT CALLBACK windowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

// A fault nobody handled: the host notes where it was (module and offset,
// and the thread) before the process ends as it would have anyway.
CallLog* crashLog = nullptr;
LONG WINAPI noteUnhandledException(EXCEPTION_POINTERS* e) {
  const auto at = reinterpret_cast<std::uintptr_t>(e->ExceptionRecord->ExceptionAddress);
  HMODULE module = nullptr;
  char name[MAX_PATH] = "?";
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<const char*>(at), &module) &&
      GetModuleFileNameA(module, name, sizeof name)) {
    const char* slash = std::strrchr(name, '\\');
    if (slash) std::memmove(name, slash + 1, std::strlen(slash + 1) + 1);
  }
  if (crashLog)
    crashLog->note("unhandled exception 0x%08lX at %s+0x%X on thread %lu",
                   static_cast<unsigned long>(e->ExceptionRecord->ExceptionCode), name,
                   static_cast<unsigned>(at - reinterpret_cast<std::uintptr_t>(module)),
                   static_cast<unsigned long>(GetCurrentThreadId()));
  return EXCEPTION_CONTINUE_SEARCH;
}

// Releases the Home key from another thread: the plug-in's frame waits for
// the release on the host's thread. The hold counts from the call of the
// frame function, so that the host's own work before it, slow on a loaded or
// emulated machine, cannot use the hold up before the plug-in looks.
DWORD WINAPI releaseHomeLater(void* ms) {
  Sleep(static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(ms)));
  keybd_event(VK_HOME, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
  return 0;
}

// The phase of the stage a frame belongs to, told from the game state.
std::string phaseName(std::int32_t mode, float preStart, std::int32_t finished) {
  if (mode == 1) return preStart > 0.0f ? "pre-start" : finished != 0 ? "finish" : "driving";
  if (mode == 5) return "menu";
  return "mode" + std::to_string(mode);
}

// The car's dashboard: a texture file whose name starts with "dashboard",
// whatever its kind (dashboard.png, dashboard.jpg, dashboard-dxt1.dds...).
bool isDashboardFile(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return _strnicmp(name.c_str(), "dashboard", 9) == 0;
}

class Stage {
 public:
  Stage(const Scenario& s, const StageOptions& o) : scenario_(s), options_(o), tools_(log_) {}
  ~Stage();
  int run(void* sectionBegin, void* sectionEnd);

 private:
  // What one frame measured, for its row of timing.csv.
  struct FrameTimes {
    double frameCallUs = 0, frameHostUs = 0, gaugeCallUs = 0, gaugeHostUs = 0, menuUs = 0, frameTotalUs = 0;
    double hostGameUs = 0;  // the host's game services, inside the plug-in's share
    std::int32_t mode = 0;
    std::string phase;
  };
  // What the host found wrong with the plug-in's calls, for the closing line.
  struct FaultCounts {
    int widthWords = 0, results = 0, deviceState = 0;
  };

  int setUp(void* sectionBegin, void* sectionEnd);
  bool loadTextureFunction();
  bool writeHostFunctionStubs();
  FrameTimes playFrame(const FrameBlock* block);
  void callPlugin(const FrameBlock* block, FrameTimes& times);
  void judgeFrameFunction(int result);
  void judgeGaugePoint(int result, const DeviceStateSnapshot* stateBefore);
  void openTiming();
  void writeTiming(const FrameTimes& times);
  void pace();
  int finish();
  bool fail(const std::string& message) {
    std::fprintf(stderr, "simhost: %s\n", message.c_str());
    log_.note("error %s", message.c_str());
    return false;
  }
  bool createWindowAndDevice();
  bool loadPlugin();
  void applyBlock(const FrameBlock& b);
  // applyBlock's steps, one per kind of line.
  void applyPokes(const FrameBlock& b);
  void applyRecordPresence(const FrameBlock& b);
  void makeFilesAndTextures(const FrameBlock& b);
  void startThreads(const FrameBlock& b);
  void armDeviceFaults(const FrameBlock& b);
  void applyMenu(const FrameBlock& b);
  void pullPluginFault(const FrameBlock& b);
  void beginDeviceLoss(const FrameBlock& b);
  void pressHome(const FrameBlock& b);
  void stepValues();
  void noteResources();
  void createTexture(const TextureRequest& request);
  // Through the texture utility function, without a note (the host's threads).
  IDirect3DTexture9* loadTexture(const TextureRequest& request, HRESULT& hr);
  // Into the host's slot for its path (the old one released), under the host lock.
  void storeTexture(const TextureRequest& request, IDirect3DTexture9* texture);
  HRESULT createDevice(D3DPRESENT_PARAMETERS& pp);
  HRESULT resetWith(D3DPRESENT_PARAMETERS& pp);
  // The host's threads: started by a block, waited for before a Reset, a
  // new device, a "wait-threads" line and the end.
  void startLoaderThread(const LoaderThread& job);
  void startResetThread(const ResetThread& job);
  void waitForThreads();
  static DWORD WINAPI loaderThreadMain(void* self);
  static DWORD WINAPI resetThreadMain(void* self);
  void loaderWork();
  void resetWork();
  bool resourcesAway() const { return resourcesAway_.load(); }
  void writeImageFile(const ImageFileRequest& request);
  // Device loss: the cooperative level the frame has, and the Reset after it.
  void updateDeviceLoss();
  void setCooperativeLevel(HRESULT level);
  void resetDevice();
  // The host's textures released, their names kept to make them again.
  std::vector<TextureRequest> releaseTextures();
  void resizeWindow(int width, int height);
  // The device released and a new one made (a change of adapter or mode).
  void replaceDevice(const NewDevice& wanted);
  // The device the plug-in finds, and the one the host itself draws with.
  bool placeDevice();
  void applyToolSteps(const FrameBlock& b);
  void noteReferences(const char* when);
  bool deviceLost() const { return cooperativeLevel_ != D3D_OK; }
  void drawWorld();
  void screenshot(const std::string& name);
  void probeFile(const std::string& path);
  void openDeviceCalls();
  void writeDeviceCalls(int frame);
  unsigned long long allocationsSinceLastQuery();

  const Scenario& scenario_;
  const StageOptions& options_;
  CallLog log_;
  HostMemory memory_;
  HWND window_ = nullptr;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;  // the real device
  CountingDevice* counting_ = nullptr;  // what the plug-in finds, when counting
  // What the host draws, resets and creates its textures with: the real
  // device, or the proxy in front of it with `host-proxy`.
  IDirect3DDevice9* host_ = nullptr;
  // Devices the host replaced, each with one reference kept so that the end
  // can count what others still hold on them.
  std::vector<IDirect3DDevice9*> retired_;
  std::FILE* deviceCalls_ = nullptr;
  std::FILE* timing_ = nullptr;
  FaultCounts faults_;
  double lastTick_ = 0, frameStart_ = 0;  // the menu's tick and the pacing's schedule
  AllocationCountFn allocationCount_ = nullptr;
  unsigned long long allocationsSeen_ = 0;
  HostGame* game_ = nullptr;
  HMODULE pluginModule_ = nullptr;
  PluginAbi* plugin_ = nullptr;
  TextureFunction textureFunction_ = nullptr;
  std::map<std::string, IDirect3DTexture9*> textures_;
  std::map<std::string, TextureRequest> requests_;  // how each was asked for, for a Reset
  IDirect3DTexture9* dashboard_ = nullptr;
  D3DPRESENT_PARAMETERS present_{};
  int width_ = 0, height_ = 0;          // the back buffer's size
  std::optional<DeviceLoss> loss_;      // the loss under way
  int lossStart_ = 0;
  bool referencesAfterReset_ = false;
  HRESULT cooperativeLevel_ = D3D_OK;   // what TestCooperativeLevel answers the host
  int resetFaults_ = 0;
  bool presentFailNoted_ = false;
  std::map<std::pair<int, std::uint32_t>, Poke> steppers_;
  // The host's own data (textures, the dashboard pointer, the present
  // parameters) and drawing, shared with its threads. Never held while the
  // plug-in runs: the host does not serialise the plug-in.
  std::recursive_mutex hostLock_;
  IDirect3D9Ex* d3dEx_ = nullptr;
  D3DMULTISAMPLE_TYPE multisample_ = D3DMULTISAMPLE_NONE;
  std::atomic<bool> resourcesAway_{false};  // a thread's Reset has the host's textures and fonts away
  std::atomic<int> resetGeneration_{0};     // Resets made by the host's thread
  std::atomic<int> threadResetFailures_{0};
  std::atomic<bool> threadLeftDeviceUnreset_{false};
  HANDLE loaderThread_ = nullptr, resetThread_ = nullptr;
  LoaderThread loaderJob_;
  ResetThread resetJob_;
  int depthStencilFaults_ = 0;  // of proxies already gone
  bool plainResetNoted_ = false;
  bool menuOpen_ = false;
  int frame_ = 0;
  DeviceTools tools_;
  bool silentNoted_ = false;
  int homeWatchFrames_ = 0;  // frames after a Home press whose key state is noted
  DWORD homeHoldMs_ = 0;     // a Home press whose release starts at the frame function's call
  void startHomeRelease();
};

Stage::~Stage() {
  waitForThreads();
  // Whether the plug-in (or anything else) brought the socket library in.
  log_.note("socket library %s", GetModuleHandleA("ws2_32.dll") ? "loaded" : "not loaded");
  if (deviceCalls_) std::fclose(deviceCalls_);
  if (timing_) std::fclose(timing_);
  for (auto& [name, t] : textures_)
    if (t) t->Release();
  delete game_;
  if (counting_) {
    ULONG held = counting_->releaseByHost();
    if (held) log_.note("device proxy still referenced %lu times by the plug-in", static_cast<unsigned long>(held));
  }
  // Everything of the host's is gone: what is left is held by the plug-in
  // (textures and other objects made on the device keep it alive).
  if (device_) log_.note("device references left %lu", static_cast<unsigned long>(device_->Release()));
  for (IDirect3DDevice9* old : retired_)
    log_.note("old device references left %lu", static_cast<unsigned long>(old->Release()));
  if (d3d_) d3d_->Release();
  if (window_) DestroyWindow(window_);
}

bool Stage::createWindowAndDevice() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SimhostStage";
  RegisterClassA(&wc);
  width_ = scenario_.width;
  height_ = scenario_.height;
  RECT r{0, 0, width_, height_};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  window_ = CreateWindowA("SimhostStage", "simhost", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, r.right - r.left,
                          r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
  if (!window_) return fail("cannot create the window");
  if (scenario_.deviceEx) {
    using CreateEx = HRESULT(WINAPI*)(UINT, IDirect3D9Ex**);
    auto create = reinterpret_cast<CreateEx>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("d3d9.dll"), "Direct3DCreate9Ex")));
    if (!create || FAILED(create(D3D_SDK_VERSION, &d3dEx_)) || !d3dEx_) return fail("Direct3D 9Ex is not available");
    d3d_ = d3dEx_;
  } else {
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  }
  if (!d3d_) return fail("Direct3D 9 is not available");
  D3DPRESENT_PARAMETERS pp{};
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.BackBufferWidth = width_;
  pp.BackBufferHeight = height_;
  pp.hDeviceWindow = window_;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  const std::uint32_t depth = options_.depthFormat ? options_.depthFormat : scenario_.depthFormat;
  if (depth) {
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = static_cast<D3DFORMAT>(depth);
    log_.note("depth buffer %s", depth == kDepthD16 ? "D16" : "D24S8");
  }
  const int samples = options_.multisample ? options_.multisample : scenario_.multisample;
  if (samples) {
    // Granted only when both the back buffer and the depth buffer can have it.
    const auto type = static_cast<D3DMULTISAMPLE_TYPE>(samples);
    DWORD qualities = 0, depthQualities = 0;
    HRESULT hr = d3d_->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, pp.BackBufferFormat, TRUE, type,
                                                  &qualities);
    if (SUCCEEDED(hr) && depth)
      hr = d3d_->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, pp.AutoDepthStencilFormat, TRUE, type,
                                            &depthQualities);
    if (SUCCEEDED(hr)) {
      pp.MultiSampleType = type;
      pp.MultiSampleQuality = 0;
      multisample_ = type;
      log_.note("multisample %d granted, qualities %lu", samples, static_cast<unsigned long>(qualities));
    } else {
      log_.note("multisample %d not granted hr=%08lX: the back buffer has one sample", samples,
                static_cast<unsigned long>(hr));
    }
  }
  present_ = pp;
  HRESULT hr = createDevice(pp);
  if (FAILED(hr)) {
    device_ = nullptr;
    return fail("cannot create the Direct3D 9 device (is an X display up?)");
  }
  if (scenario_.multithreaded) log_.note("device is multithreaded");
  if (scenario_.deviceEx) log_.note("device is extended");
  if (!placeDevice()) return false;
  if (options_.deviceChain != "present") log_.note("device chain %s", options_.deviceChain.c_str());
  if (counting_) {
    openDeviceCalls();
    for (const DeviceFault& f : scenario_.faults)
      counting_->addFault(static_cast<DeviceMethod>(f.method), f.nth, f.last, static_cast<HRESULT>(f.result));
  }
  game_ = new HostGame(host_, log_);
  game_->setLock(&hostLock_);
  if (scenario_.deviceEx) game_->useOwnText();
  game_->watchScreenWidth([this] { return memory_.screenWord(kScreenWidthWordA); });
  frameObject.game = game_;
  return true;
}

// The run's device: extended or not, multithreaded when the scenario says.
HRESULT Stage::createDevice(D3DPRESENT_PARAMETERS& pp) {
  const DWORD flags = D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE |
                      (scenario_.multithreaded ? D3DCREATE_MULTITHREADED : 0);
  if (d3dEx_) {
    IDirect3DDevice9Ex* ex = nullptr;
    const HRESULT hr = d3dEx_->CreateDeviceEx(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, flags, &pp, nullptr, &ex);
    device_ = SUCCEEDED(hr) ? ex : nullptr;
    return hr;
  }
  return d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, flags, &pp, &device_);
}

// The host's Reset: ResetEx where the device the host draws with answers
// IDirect3DDevice9Ex (a proxy that hides it gets the plain Reset).
HRESULT Stage::resetWith(D3DPRESENT_PARAMETERS& pp) {
  if (scenario_.deviceEx) {
    IDirect3DDevice9Ex* ex = nullptr;
    if (SUCCEEDED(host_->QueryInterface(IID_IDirect3DDevice9Ex, reinterpret_cast<void**>(&ex))) && ex) {
      const HRESULT hr = ex->ResetEx(&pp, nullptr);
      ex->Release();
      return hr;
    }
    if (!plainResetNoted_) log_.note("the host's device answers no IDirect3DDevice9Ex: plain Reset");
    plainResetNoted_ = true;
  }
  return host_->Reset(&pp);
}

// The plug-in draws through what it finds in the device chain: the real
// device, or the counting proxy. The host keeps drawing with the real one,
// unless it draws through the proxy too (as behind a shader injector).
bool Stage::placeDevice() {
  const bool counting = options_.countDevice || scenario_.countDevice;
  const bool hostProxy = options_.hostProxy || scenario_.hostProxy;
  counting_ = counting || hostProxy ? new CountingDevice(device_, &log_) : nullptr;
  if (counting_) log_.note(hostProxy ? "counting device in the device chain, the host draws through it too"
                                     : "counting device in the device chain");
  if (counting_ && scenario_.proxyHidesEx) {
    counting_->hideExtended();
    log_.note("device proxy hides IDirect3DDevice9Ex");
  }
  IDirect3DDevice9* pluginDevice = counting_ ? static_cast<IDirect3DDevice9*>(counting_) : device_;
  host_ = hostProxy ? pluginDevice : device_;
  memory_.setDevice(pluginDevice);
  if (!memory_.setDeviceChain(options_.deviceChain, pluginDevice)) return fail("bad --device-chain " + options_.deviceChain);
  return true;
}

void Stage::openDeviceCalls() {
  deviceCalls_ = std::fopen((options_.outputFolder + "\\device-calls.csv").c_str(), "wb");
  if (!deviceCalls_) return;
  std::fprintf(deviceCalls_, "frame");
  for (int k = 0; k < kDeviceCallKinds; ++k) std::fprintf(deviceCalls_, ",%s", deviceCallKindName(static_cast<DeviceCallKind>(k)));
  std::fprintf(deviceCalls_, ",total");
  for (int m = 0; m < kDeviceMethods; ++m) std::fprintf(deviceCalls_, ",%s", deviceMethodName(static_cast<DeviceMethod>(m)));
  std::fputc('\n', deviceCalls_);
}

// One row per frame; frame -1 is start-up, frame `frames` the plug-in's end.
void Stage::writeDeviceCalls(int frame) {
  if (!counting_) return;
  if (deviceCalls_) {
    std::fprintf(deviceCalls_, "%d", frame);
    for (int k = 0; k < kDeviceCallKinds; ++k)
      std::fprintf(deviceCalls_, ",%u", counting_->frameKindCount(static_cast<DeviceCallKind>(k)));
    std::fprintf(deviceCalls_, ",%u", counting_->frameTotal());
    for (int m = 0; m < kDeviceMethods; ++m) std::fprintf(deviceCalls_, ",%u", counting_->frameCount(static_cast<DeviceMethod>(m)));
    std::fputc('\n', deviceCalls_);
  }
  counting_->startFrame();
}

unsigned long long Stage::allocationsSinceLastQuery() {
  unsigned long long now = allocationCount_();
  unsigned long long delta = now - allocationsSeen_;
  allocationsSeen_ = now;
  return delta;
}

bool Stage::loadPlugin() {
  if (options_.noPlugin) {
    log_.note("no plug-in loaded");
    return true;
  }
  pluginModule_ = LoadLibraryA(options_.pluginPath.c_str());
  if (!pluginModule_) {
    char text[64];
    std::snprintf(text, sizeof text, " (Windows error %lu)", GetLastError());
    return fail("cannot load the plug-in " + options_.pluginPath + text);
  }
  auto create = reinterpret_cast<CreatePluginFn>(reinterpret_cast<void*>(GetProcAddress(pluginModule_, "KVX_CreatePlugin")));
  if (!create) return fail("the plug-in " + options_.pluginPath + " does not export KVX_CreatePlugin");
  log_.note("plug-in loaded %s", options_.pluginPath.c_str());
  allocationCount_ = reinterpret_cast<AllocationCountFn>(
      reinterpret_cast<void*>(GetProcAddress(pluginModule_, "OSTREL_AllocationCount")));
  if (allocationCount_) log_.note("plug-in counts its allocations");
  plugin_ = create(game_);
  if (!plugin_) {
    // Nothing to drive, but the stage still runs: a plug-in that is still
    // being built must not stop the rest of the equipment.
    std::fprintf(stderr, "simhost: warning: KVX_CreatePlugin returned no plug-in object; running without it\n");
    log_.note("KVX_CreatePlugin returned null");
    return true;
  }
  const char* name = plugin_->QueryName();
  log_.note("QueryName \"%s\"", name ? name : "(null)");
  if (allocationCount_) log_.note("allocations at start-up %llu", allocationsSinceLastQuery());
  return true;
}

// A block's lines, in this order: host memory, the records' presence, the
// host's threads waited for, the tools, files and textures, new threads,
// device faults, the menu, the plug-in's fault switch, a device loss, a key.
void Stage::applyBlock(const FrameBlock& b) {
  for (const std::string& path : b.probedFiles) probeFile(path);
  applyPokes(b);
  applyRecordPresence(b);
  if (b.waitThreads) waitForThreads();
  applyToolSteps(b);
  makeFilesAndTextures(b);
  startThreads(b);
  armDeviceFaults(b);
  applyMenu(b);
  pullPluginFault(b);
  beginDeviceLoss(b);
  pressHome(b);
}

void Stage::applyPokes(const FrameBlock& b) {
  for (const Poke& p : b.pokes) {
    memory_.apply(p);
    auto key = std::make_pair(static_cast<int>(p.block), p.offset);
    if (p.isFloat && p.step != 0.0f) steppers_[key] = p;
    else steppers_.erase(key);
  }
}

void Stage::applyRecordPresence(const FrameBlock& b) {
  if (b.carPresent) memory_.setCarPresent(*b.carPresent);
  if (b.damageExtraPresent) memory_.setDamageExtraPresent(*b.damageExtraPresent);
  if (b.damageRecordPresent) memory_.setDamageRecordPresent(*b.damageRecordPresent);
  if (b.engineRecordPresent) memory_.setEngineRecordPresent(*b.engineRecordPresent);
}

void Stage::makeFilesAndTextures(const FrameBlock& b) {
  for (const ImageFileRequest& f : b.imageFiles) writeImageFile(f);
  for (const TextureRequest& t : b.textures) createTexture(t);
}

void Stage::startThreads(const FrameBlock& b) {
  if (b.loaderThread) startLoaderThread(*b.loaderThread);
  if (b.resetThread) startResetThread(*b.resetThread);
}

void Stage::armDeviceFaults(const FrameBlock& b) {
  if (!counting_) return;
  for (const DeviceFault& f : b.faults)
    counting_->addFault(static_cast<DeviceMethod>(f.method), f.nth, f.last, static_cast<HRESULT>(f.result));
}

void Stage::applyMenu(const FrameBlock& b) {
  if (!b.menuOpen) return;
  menuOpen_ = *b.menuOpen;
  log_.note("menu %s", menuOpen_ ? "open" : "close");
}

void Stage::pullPluginFault(const FrameBlock& b) {
  if (!b.pluginFault) return;
  // Only the test build OSTREL_faulting.dll has the switch: its own code
  // faults, on the host thread, inside this frame.
  using FaultFn = void(__cdecl*)();
  auto fault = pluginModule_ ? reinterpret_cast<FaultFn>(reinterpret_cast<void*>(
                                   GetProcAddress(pluginModule_, "OSTREL_FaultForTest")))
                             : nullptr;
  log_.note("plug-in fault switch %s", fault ? "pulled" : "missing");
  if (fault) fault();
}

void Stage::beginDeviceLoss(const FrameBlock& b) {
  if (!b.deviceLoss || loss_) return;
  loss_ = *b.deviceLoss;
  lossStart_ = frame_;
  noteReferences("before the loss");
  if (loss_->frames > 0) log_.note("device lost for %d frames%s", loss_->frames, loss_->silent ? ", silently" : "");
}

void Stage::pressHome(const FrameBlock& b) {
  if (b.homeMs <= 0) return;
  keybd_event(VK_HOME, 0, KEYEVENTF_EXTENDEDKEY, 0);
  log_.note("home down for %d ms, key state %s", b.homeMs, (GetAsyncKeyState(VK_HOME) & 0x8000) ? "down" : "up");
  homeHoldMs_ = static_cast<DWORD>(b.homeMs);
  homeWatchFrames_ = 8;
}

void Stage::startHomeRelease() {
  HANDLE t = CreateThread(nullptr, 0, releaseHomeLater,
                          reinterpret_cast<void*>(static_cast<std::uintptr_t>(homeHoldMs_)), 0, nullptr);
  homeHoldMs_ = 0;
  if (t) {
    CloseHandle(t);
    return;
  }
  // No thread to release it: a key left down would hold the plug-in's frame.
  keybd_event(VK_HOME, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
}

// The figures a long run must keep flat: memory, kernel, GDI and USER
// handles, and the references on the host's dashboard texture and device.
// (Wine reports no private bytes and no handle count, so both are counted
// here: committed private pages, and handle values that are open.)
void Stage::noteResources() {
  PROCESS_MEMORY_COUNTERS_EX m{};
  m.cb = sizeof m;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m);
  unsigned long long committed = 0;
  MEMORY_BASIC_INFORMATION info{};
  for (std::uintptr_t at = 0x10000; at < 0x7FFF0000u && VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info);
       at = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) committed += info.RegionSize;
    if (info.RegionSize == 0) break;
  }
  DWORD handles = 0, flags = 0;
  for (std::uintptr_t h = 4; h < 0x10000; h += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++handles;
  auto references = [](IUnknown* u) -> long {
    if (!u) return -1;
    u->AddRef();
    return static_cast<long>(u->Release());
  };
  const std::lock_guard<std::recursive_mutex> held(hostLock_);
  log_.note("resources private_kb=%lu working_kb=%lu handles=%lu gdi=%lu user=%lu dashboard_refs=%ld device_refs=%ld",
            static_cast<unsigned long>(committed / 1024), static_cast<unsigned long>(m.WorkingSetSize / 1024),
            static_cast<unsigned long>(handles),
            static_cast<unsigned long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)),
            static_cast<unsigned long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)), references(dashboard_),
            references(host_));
}

void Stage::stepValues() {
  for (auto& [key, p] : steppers_) {
    p.f += p.step;
    memory_.apply(p);
  }
}

IDirect3DTexture9* Stage::loadTexture(const TextureRequest& request, HRESULT& hr) {
  IDirect3DTexture9* texture = nullptr;
  D3DXIMAGE_INFO info{};
  const D3DPOOL pool = request.pool == 1 ? D3DPOOL_MANAGED : request.pool == 2 ? D3DPOOL_SYSTEMMEM : D3DPOOL_DEFAULT;
  hr = textureFunction_(host_, request.path.c_str(), request.width ? request.width : D3DX_DEFAULT,
                        request.height ? request.height : D3DX_DEFAULT, D3DX_DEFAULT, 0,
                        static_cast<D3DFORMAT>(request.format), pool, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr,
                        &texture);
  if (FAILED(hr) && texture) texture = nullptr;
  if (SUCCEEDED(hr) && !texture) hr = E_FAIL;
  return texture;
}

void Stage::storeTexture(const TextureRequest& request, IDirect3DTexture9* texture) {
  const std::lock_guard<std::recursive_mutex> held(hostLock_);
  requests_[request.path] = request;
  IDirect3DTexture9*& slot = textures_[request.path];
  if (slot) slot->Release();
  slot = texture;
  if (isDashboardFile(request.path)) dashboard_ = texture;  // null: the car has no dashboard texture now
}

void Stage::createTexture(const TextureRequest& request) {
  const std::string& path = request.path;
  HRESULT hr = S_OK;
  IDirect3DTexture9* texture = loadTexture(request, hr);
  if (!texture) {
    log_.note("texture %s failed hr=%08lX", path.c_str(), static_cast<unsigned long>(hr));
    const std::lock_guard<std::recursive_mutex> held(hostLock_);
    requests_[path] = request;
    if (isDashboardFile(path)) dashboard_ = nullptr;  // the car has no dashboard texture now
    return;
  }
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(0, &desc);
  log_.note("texture %s %ux%u levels=%lu usage=%lu format=%u pool=%u", path.c_str(), desc.Width, desc.Height,
            static_cast<unsigned long>(texture->GetLevelCount()), static_cast<unsigned long>(desc.Usage),
            static_cast<unsigned>(desc.Format), static_cast<unsigned>(desc.Pool));
  storeTexture(request, texture);
}

// The source read (scaled when asked) into 0xAARRGGBB pixels through D3DX,
// then written by the host's own encoders, or by D3DX for JPEG.
void Stage::writeImageFile(const ImageFileRequest& request) {
  D3DXIMAGE_INFO info{};
  HRESULT hr = D3DXGetImageInfoFromFileA(request.source.c_str(), &info);
  const UINT w = request.width ? request.width : info.Width, h = request.height ? request.height : info.Height;
  IDirect3DSurface9* surface = nullptr;
  if (SUCCEEDED(hr))
    hr = device_->CreateOffscreenPlainSurface(w, h, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &surface, nullptr);
  if (SUCCEEDED(hr))
    hr = D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, request.source.c_str(), nullptr, D3DX_FILTER_TRIANGLE, 0,
                                  nullptr);
  const ImageKind kind = *imageKindNamed(request.kind);
  if (SUCCEEDED(hr) && kind == ImageKind::Jpg) {
    hr = D3DXSaveSurfaceToFileA(request.path.c_str(), D3DXIFF_JPG, surface, nullptr, nullptr);
  } else if (SUCCEEDED(hr)) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
    D3DLOCKED_RECT locked{};
    hr = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    if (SUCCEEDED(hr)) {
      for (UINT y = 0; y < h; ++y)
        std::memcpy(&pixels[static_cast<std::size_t>(y) * w], static_cast<const char*>(locked.pBits) + y * locked.Pitch, w * 4);
      surface->UnlockRect();
      const std::string bytes = encodeImage(kind, pixels, w, h);
      std::FILE* out = std::fopen(request.path.c_str(), "wb");
      const bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
      if (out) std::fclose(out);
      if (!written) hr = E_FAIL;
    }
  }
  if (surface) surface->Release();
  log_.note("image file %s %s %ux%u %s", request.path.c_str(), request.kind.c_str(), w, h,
            SUCCEEDED(hr) ? "written" : "failed");
}

void Stage::noteReferences(const char* when) {
  const std::lock_guard<std::recursive_mutex> held(hostLock_);
  auto references = [](IUnknown* u) -> long {
    if (!u) return -1;
    u->AddRef();
    return static_cast<long>(u->Release());
  };
  log_.note("references %s dashboard=%ld device=%ld", when, references(dashboard_), references(host_));
}

void Stage::setCooperativeLevel(HRESULT level) {
  if (level == cooperativeLevel_) return;
  cooperativeLevel_ = level;
  if (counting_) counting_->setCooperativeLevel(level);
  log_.note("device cooperative level %s", level == D3DERR_DEVICELOST      ? "D3DERR_DEVICELOST"
                                           : level == D3DERR_DEVICENOTRESET ? "D3DERR_DEVICENOTRESET"
                                                                            : "D3D_OK");
}

// A lost device first answers D3DERR_DEVICELOST, then D3DERR_DEVICENOTRESET;
// once it may be reset, the host does so before it draws again.
void Stage::updateDeviceLoss() {
  if (!loss_) return;
  if (loss_->frames == 0) {  // a change of size or mode: no loss, just the Reset
    resetDevice();
    return;
  }
  const int into = frame_ - lossStart_;
  if (into < loss_->frames) {
    setCooperativeLevel(into < loss_->frames / 2 ? D3DERR_DEVICELOST : D3DERR_DEVICENOTRESET);
    return;
  }
  setCooperativeLevel(D3DERR_DEVICENOTRESET);
  resetDevice();
}

// What a careful game does: its default-pool resources go, then Reset (with
// the window resized first for a new size), then its textures come again
// through the texture utility function. A failed Reset is a fault; the
// device stays waiting and the next frame tries again.
std::vector<TextureRequest> Stage::releaseTextures() {
  const std::lock_guard<std::recursive_mutex> held(hostLock_);
  std::vector<TextureRequest> names;
  for (auto& [name, t] : textures_) {
    names.push_back(requests_[name]);
    if (t) t->Release();
    t = nullptr;
  }
  dashboard_ = nullptr;
  return names;
}

void Stage::resizeWindow(int width, int height) {
  if (width <= 0 || (width == width_ && height == height_)) return;
  width_ = width;
  height_ = height;
  RECT r{0, 0, width_, height_};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  SetWindowPos(window_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOMOVE);
  present_.BackBufferWidth = width_;
  present_.BackBufferHeight = height_;
}

void Stage::resetDevice() {
  waitForThreads();
  tools_.settle();
  // An extended device keeps default-pool resources over its Reset: a game
  // may rely on that and keep its textures (and its text's) as they are.
  const bool keep = loss_->keepTextures && scenario_.deviceEx;
  std::vector<TextureRequest> names;
  if (keep) {
    log_.note("the host keeps its textures over the Reset");
  } else {
    names = releaseTextures();
    game_->onLostDevice();
  }
  D3DPRESENT_PARAMETERS pp;
  {
    const std::lock_guard<std::recursive_mutex> held(hostLock_);
    resizeWindow(loss_->width, loss_->height);
    pp = present_;
  }
  const HRESULT hr = resetWith(pp);
  log_.note("reset %dx%d hr=%08lX", width_, height_, static_cast<unsigned long>(hr));
  if (FAILED(hr)) {
    ++resetFaults_;
    log_.record("fault", "Reset failed hr=%08lX", static_cast<unsigned long>(hr));
    setCooperativeLevel(D3DERR_DEVICENOTRESET);  // the host draws nothing until a Reset succeeds
    return;
  }
  if (!keep) game_->onResetDevice();
  setCooperativeLevel(D3D_OK);
  loss_.reset();
  presentFailNoted_ = false;
  for (const TextureRequest& request : names) createTexture(request);
  // Counted where "before the loss" was, at the start of a frame, once a
  // frame is through: the plug-in's renderers, made again from the new
  // textures, take what they hold on their first frame.
  referencesAfterReset_ = true;
}

// A thread of the host's that loads one texture again and again while the
// frames go on, as a game streaming its car's textures: each new one takes
// the place of the last (which is released) under the host lock, never held
// while the texture utility function (where the plug-in may sit) runs.
void Stage::startLoaderThread(const LoaderThread& job) {
  if (loaderThread_) waitForThreads();
  loaderJob_ = job;
  log_.note("loader thread started: %d loads of %s", job.loads, job.path.c_str());
  loaderThread_ = CreateThread(nullptr, 0, loaderThreadMain, this, 0, nullptr);
  if (!loaderThread_) log_.record("fault", "loader thread not started (Windows error %lu)", GetLastError());
}

DWORD WINAPI Stage::loaderThreadMain(void* self) {
  static_cast<Stage*>(self)->loaderWork();
  return 0;
}

void Stage::loaderWork() {
  int loads = 0, failed = 0;
  TextureRequest request;
  {
    const std::lock_guard<std::recursive_mutex> held(hostLock_);
    const auto known = requests_.find(loaderJob_.path);
    request = known != requests_.end() ? known->second : TextureRequest{loaderJob_.path};
  }
  for (int i = 0; i < loaderJob_.loads; ++i) {
    HRESULT hr = S_OK;
    IDirect3DTexture9* texture = loadTexture(request, hr);
    if (!texture) {
      if (++failed == 1)
        log_.record("fault", "loader thread: texture %s failed hr=%08lX", request.path.c_str(),
                    static_cast<unsigned long>(hr));
      continue;
    }
    ++loads;
    storeTexture(request, texture);
  }
  log_.note("loader thread finished loads=%d failed=%d", loads, failed);
}

// A thread of the host's that resets the device again and again the careful
// way while the frames go on (as a game whose window thread handles a mode
// change): its textures released and its fonts' device objects let go, the
// Reset, its textures made again through the texture utility function, its
// fonts back. The host lock covers the host's own data, not the plug-in's
// calls (the Reset and the texture function may land in the plug-in).
void Stage::startResetThread(const ResetThread& job) {
  if (resetThread_) waitForThreads();
  resetJob_ = job;
  log_.note("resetting thread started: %d Resets%s", job.resets, job.width ? ", the size changing" : "");
  resetThread_ = CreateThread(nullptr, 0, resetThreadMain, this, 0, nullptr);
  if (!resetThread_) log_.record("fault", "resetting thread not started (Windows error %lu)", GetLastError());
}

DWORD WINAPI Stage::resetThreadMain(void* self) {
  static_cast<Stage*>(self)->resetWork();
  return 0;
}

void Stage::resetWork() {
  int done = 0, failed = 0;
  const int firstWidth = width_, firstHeight = height_;
  std::vector<TextureRequest> names;
  for (int i = 0; i < resetJob_.resets; ++i) {
    D3DPRESENT_PARAMETERS pp;
    {
      const std::lock_guard<std::recursive_mutex> held(hostLock_);
      resourcesAway_ = true;
      std::vector<TextureRequest> released = releaseTextures();
      if (!released.empty()) names = released;
      game_->onLostDevice();
      // With a size: every other Reset changes to it, the others back.
      if (resetJob_.width) {
        const bool other = i % 2 == 0;
        const int w = other ? resetJob_.width : firstWidth, h = other ? resetJob_.height : firstHeight;
        if (w != width_ || h != height_) {
          width_ = w;
          height_ = h;
          present_.BackBufferWidth = w;
          present_.BackBufferHeight = h;
          RECT r{0, 0, w, h};
          AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
          // Asynchronous: the window belongs to the frames' thread.
          SetWindowPos(window_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOMOVE | SWP_ASYNCWINDOWPOS);
        }
      }
      pp = present_;
    }
    ++resetGeneration_;  // once as the Reset starts, once as it ends
    const HRESULT hr = resetWith(pp);
    ++resetGeneration_;
    if (FAILED(hr)) {
      ++failed;
      ++threadResetFailures_;
      log_.record("fault", "Reset on the host's resetting thread failed hr=%08lX (%d of %d)",
                  static_cast<unsigned long>(hr), i + 1, resetJob_.resets);
      continue;  // the next one tries again, the textures still away
    }
    ++done;
    for (const TextureRequest& request : names) {
      HRESULT created = S_OK;
      IDirect3DTexture9* texture = loadTexture(request, created);
      if (!texture) log_.record("fault", "resetting thread: texture %s failed hr=%08lX", request.path.c_str(),
                                static_cast<unsigned long>(created));
      storeTexture(request, texture);
    }
    names.clear();
    game_->onResetDevice();
    resourcesAway_ = false;
  }
  // A last Reset that failed leaves the device to the frames' thread.
  threadLeftDeviceUnreset_ = resourcesAway_.load();
  log_.note("resetting thread finished resets=%d failed=%d", done, failed);
}

void Stage::waitForThreads() {
  for (HANDLE* thread : {&loaderThread_, &resetThread_}) {
    if (!*thread) continue;
    // The window's messages go on meanwhile: a thread may be waiting on them.
    while (MsgWaitForMultipleObjects(1, thread, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    CloseHandle(*thread);
    *thread = nullptr;
  }
  resetFaults_ += threadResetFailures_.exchange(0);
  if (threadLeftDeviceUnreset_.exchange(false)) {
    // The textures are away and the device wants a Reset: the frames' thread
    // makes it at once, as after a loss.
    if (!loss_) loss_ = DeviceLoss{};
    setCooperativeLevel(D3DERR_DEVICENOTRESET);
    resourcesAway_ = false;
  }
}

// Tools act on the real device (their patches are on its class); the game's
// own device steps follow.
void Stage::applyToolSteps(const FrameBlock& b) {
  if (b.overlay) tools_.overlayStep(*b.overlay, device_);
  if (b.methodTable) tools_.methodTableStep(*b.methodTable, device_);
  if (b.toolDevice) tools_.toolDeviceStep(*b.toolDevice, d3d_, resetFaults_);
  if (b.newDevice) replaceDevice(*b.newDevice);
}

// As a game does on a change of adapter or mode: everything of its own on
// the device goes, then the device; a new device takes its place in the
// device chain and the textures come again through the texture function.
// Objects the plug-in still holds keep the old device alive; one reference
// of the host's is kept to count them at the end.
void Stage::replaceDevice(const NewDevice& wanted) {
  waitForThreads();
  tools_.settle();
  noteReferences("before the loss");
  const std::vector<TextureRequest> names = releaseTextures();
  game_->changeDevice(nullptr);
  IDirect3DDevice9* old = device_;
  retired_.push_back(old);
  old->AddRef();
  if (counting_) {
    // Kept alive by the plug-in's references, as the real one is.
    depthStencilFaults_ += counting_->depthStencilFaults();
    counting_->releaseByHost();
    counting_ = nullptr;
  }
  const ULONG left = old->Release();
  log_.note("device released, references left %lu", static_cast<unsigned long>(left - 1));
  device_ = nullptr;
  resizeWindow(wanted.width, wanted.height);
  D3DPRESENT_PARAMETERS pp = present_;
  const HRESULT hr = createDevice(pp);
  if (FAILED(hr) || !device_) {
    log_.record("fault", "new device not created hr=%08lX", static_cast<unsigned long>(hr));
    ExitProcess(7);  // nothing left to draw with
  }
  placeDevice();
  game_->changeDevice(host_);
  log_.note("new device %dx%d", width_, height_);
  for (const TextureRequest& request : names) createTexture(request);
  referencesAfterReset_ = true;
}

// The world: sky, ground, a road to the horizon and the car's dashboard.
void Stage::drawWorld() {
  const float w = static_cast<float>(width_), h = static_cast<float>(height_);
  const float horizon = h * 0.45f;
  // With a depth buffer the host's world is depth-tested, as a game's is:
  // the sky farthest, the dashboard nearest.
  const bool depth = present_.EnableAutoDepthStencil != FALSE;
  const float skyZ = depth ? 0.9f : 0.0f, groundZ = depth ? 0.6f : 0.0f, roadZ = depth ? 0.5f : 0.0f,
              dashboardZ = depth ? 0.1f : 0.0f;
  host_->SetRenderState(D3DRS_ZENABLE, depth ? D3DZB_TRUE : D3DZB_FALSE);
  if (depth) {
    host_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    host_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  }
  host_->SetRenderState(D3DRS_LIGHTING, FALSE);
  host_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  host_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  host_->SetTexture(0, nullptr);
  host_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  host_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  host_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  const D3DCOLOR skyTop = 0xFF3070C0, skyLow = 0xFF90C0E8, grass = 0xFF3C7A30, road = 0xFF505050;
  ColourVertex sky[4] = {{0, 0, skyZ, 1, skyTop}, {w, 0, skyZ, 1, skyTop}, {0, horizon, skyZ, 1, skyLow},
                         {w, horizon, skyZ, 1, skyLow}};
  host_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, sky, sizeof(ColourVertex));
  ColourVertex ground[4] = {{0, horizon, groundZ, 1, grass}, {w, horizon, groundZ, 1, grass}, {0, h, groundZ, 1, grass},
                            {w, h, groundZ, 1, grass}};
  host_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, ground, sizeof(ColourVertex));
  ColourVertex roadStrip[4] = {{w * 0.48f, horizon, roadZ, 1, road}, {w * 0.52f, horizon, roadZ, 1, road},
                               {w * 0.05f, h, roadZ, 1, road}, {w * 0.95f, h, roadZ, 1, road}};
  host_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, roadStrip, sizeof(ColourVertex));
  if (dashboard_) {
    // The dashboard across the bottom: 512 x 192 screen pixels at 640 wide.
    const float dw = w * 0.8f, dh = dw * 0.375f, x = (w - dw) * 0.5f - 0.5f, y = h - dh - 0.5f;
    const float z = dashboardZ;
    TexturedVertex q[4] = {{x, y, z, 1, 0xFFFFFFFF, 0, 0}, {x + dw, y, z, 1, 0xFFFFFFFF, 1, 0},
                           {x, y + dh, z, 1, 0xFFFFFFFF, 0, 1}, {x + dw, y + dh, z, 1, 0xFFFFFFFF, 1, 1}};
    host_->SetTexture(0, dashboard_);
    host_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    host_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    host_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    host_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    host_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    host_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, q, sizeof(TexturedVertex));
    host_->SetTexture(0, nullptr);
  }
}

// What a file holds before the plug-in's frame: its size and first lines,
// or that it is not there.
void Stage::probeFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    log_.note("file %s missing", path.c_str());
    return;
  }
  char buffer[512];
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fclose(f);
  std::string lines;
  int count = 0;
  for (std::size_t i = 0; i < n && count < 4; ++i) {
    if (buffer[i] == '\r') continue;
    if (buffer[i] == '\n') {
      if (++count < 4) lines += " | ";
      continue;
    }
    lines += buffer[i];
  }
  log_.note("file %s bytes=%ld: %s", path.c_str(), size, lines.c_str());
}

void Stage::screenshot(const std::string& name) {
  IDirect3DSurface9* back = nullptr;
  IDirect3DSurface9* resolved = nullptr;  // a multisampled back buffer's one-sample copy
  IDirect3DSurface9* copy = nullptr;
  std::string path = options_.outputFolder + "\\" + name + ".png";
  const std::lock_guard<std::recursive_mutex> held(hostLock_);  // no Reset of the host's thread meanwhile
  HRESULT hr = resourcesAway() ? D3DERR_INVALIDCALL : host_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
  D3DSURFACE_DESC desc{};
  if (SUCCEEDED(hr)) {
    back->GetDesc(&desc);
    hr = host_->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM, &copy, nullptr);
  }
  // GetRenderTargetData reads one-sample targets only: a multisampled back
  // buffer is resolved into a plain render target first.
  IDirect3DSurface9* source = back;
  if (SUCCEEDED(hr) && desc.MultiSampleType != D3DMULTISAMPLE_NONE) {
    hr = host_->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE, &resolved,
                                   nullptr);
    if (SUCCEEDED(hr)) hr = host_->StretchRect(back, nullptr, resolved, nullptr, D3DTEXF_NONE);
    source = resolved;
  }
  if (SUCCEEDED(hr)) hr = host_->GetRenderTargetData(source, copy);
  if (SUCCEEDED(hr)) hr = D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PNG, copy, nullptr, nullptr);
  log_.note("screenshot %s %s%s", path.c_str(), SUCCEEDED(hr) ? "saved" : "failed",
            resolved && SUCCEEDED(hr) ? " (multisampled back buffer resolved)" : "");
  if (resolved) resolved->Release();
  if (copy) copy->Release();
  if (back) back->Release();
}

// Set-up: the output folder and its log, the host's memory, its texture
// function and the stubs of its two functions, the window and device, the
// plug-in. 0, or the process exit code of what failed.
int Stage::setUp(void* sectionBegin, void* sectionEnd) {
  CreateDirectoryA(options_.outputFolder.c_str(), nullptr);
  if (!log_.open(options_.outputFolder + "\\calls.log")) {
    std::fprintf(stderr, "simhost: cannot write into the output folder %s\n", options_.outputFolder.c_str());
    return 2;
  }
  log_.setQuiet(options_.quietCalls);
  crashLog = &log_;
  SetUnhandledExceptionFilter(noteUnhandledException);
  std::string error;
  if (!memory_.create(sectionBegin, sectionEnd, error)) return fail(error), 4;
  if (!loadTextureFunction() || !writeHostFunctionStubs()) return 4;
  if (!createWindowAndDevice()) return 4;
  if (scenario_.overlayBefore) tools_.overlayStep(OverlayStep::After, device_);
  if (!loadPlugin()) return 5;
  writeDeviceCalls(-1);
  return 0;
}

// The host's texture utility module is loaded with the host, before any
// plug-in; without it the host creates its textures with D3DX itself.
bool Stage::loadTextureFunction() {
  if (options_.noTexUtil) {
    textureFunction_ = &D3DXCreateTextureFromFileExA;
    log_.note("texture utility module not loaded");
    return true;
  }
  HMODULE texUtil = LoadLibraryA("kvxtexutil.dll");
  if (!texUtil) return fail("cannot load kvxtexutil.dll");
  if (options_.texUtilIsD3dx) {
    using UseD3dxFn = BOOL (*)();
    auto use = reinterpret_cast<UseD3dxFn>(reinterpret_cast<void*>(GetProcAddress(texUtil, "kvxUseD3dxDirectly")));
    if (!use || !use()) return fail("cannot point the texture function at D3DX");
    log_.note("texture function is D3DX's own");
  }
  const auto entry = reinterpret_cast<std::uintptr_t>(texUtil) + kTextureFunctionOffset;
  textureFunction_ = reinterpret_cast<TextureFunction>(entry);
  if (options_.badTexturePrologue) {
    std::string error;
    void* real = HostMemory::stubTarget(entry);
    if (!real || !memory_.writeUndetourableStub(entry, real, error)) return fail("texture stub: " + error);
  }
  return true;
}

// The frame function and the gauge point at the host's fixed addresses.
bool Stage::writeHostFunctionStubs() {
  std::string error;
  auto stub = [&](std::uintptr_t at, void* function, bool undetourable) {
    return undetourable ? memory_.writeUndetourableStub(at, function, error) : memory_.writeStub(at, function, error);
  };
  if (!stub(kFrameFunctionAddress, reinterpret_cast<void*>(&hostFrameFunction), options_.badFramePrologue) ||
      !stub(kGaugePointFunctionAddress, reinterpret_cast<void*>(&hostGaugePointFunction), options_.badGaugePrologue))
    return fail(error);
  return true;
}

void Stage::openTiming() {
  timing_ = std::fopen((options_.outputFolder + "\\timing.csv").c_str(), "wb");
  if (timing_)
    std::fprintf(timing_, "frame,frame_call_us,frame_host_us,frame_plugin_us,gauge_call_us,gauge_host_us,"
                          "gauge_plugin_us,menu_us,plugin_total_us,frame_total_us,allocations,host_calls,game_mode,"
                          "phase,host_game_us\n");
}

void Stage::writeTiming(const FrameTimes& t) {
  if (!timing_) return;
  const double frameUs = t.frameCallUs, frameHostUs = t.frameHostUs, gaugeUs = t.gaugeCallUs,
               gaugeHostUs = t.gaugeHostUs, menuUs = t.menuUs;
  std::fprintf(timing_, "%d,%.1f,%.1f,%.1f,%.1f,%.1f,%.1f,%.1f,%.1f,%.1f,", frame_, frameUs, frameHostUs,
               frameUs - frameHostUs, gaugeUs, gaugeHostUs, gaugeUs - gaugeHostUs, menuUs,
               frameUs - frameHostUs + gaugeUs - gaugeHostUs + menuUs, t.frameTotalUs);
  // No allocation figure from a plug-in that does not count.
  if (allocationCount_) std::fprintf(timing_, "%llu", allocationsSinceLastQuery());
  std::fprintf(timing_, ",%d,%d,%s,%.1f\n", log_.frameCalls(), static_cast<int>(t.mode), t.phase.c_str(),
               t.hostGameUs);
}

// At the scenario's rate unless flat out; a late frame moves the schedule on
// rather than letting the next ones catch up.
void Stage::pace() {
  if (!options_.pace || scenario_.fps <= 0.0) return;
  double next = frameStart_ + 1.0 / scenario_.fps;
  double wait = next - nowSeconds();
  if (wait > 0.0) Sleep(static_cast<DWORD>(wait * 1000.0));
  frameStart_ = std::max(next, nowSeconds() - 1.0 / scenario_.fps);
}

// One frame as the host runs it: the window's messages, the scenario's
// values and block, the world drawn, the plug-in's calls, the screenshots and
// the present.
Stage::FrameTimes Stage::playFrame(const FrameBlock* block) {
  FrameTimes times;
  const double f0 = nowSeconds();
  log_.setFrame(frame_);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (frame_ > 0) stepValues();
  if (referencesAfterReset_) {
    referencesAfterReset_ = false;
    noteReferences("after the reset");
  }
  tools_.takeNotes();
  if (block) applyBlock(*block);
  updateDeviceLoss();
  times.mode = memory_.gameMode();
  times.phase = phaseName(times.mode, memory_.preStartTimer(), memory_.finishedFlag());

  {
    // The host's own drawing, under its lock: a Reset of the host's thread
    // does not come in between (its textures are away meanwhile).
    const std::lock_guard<std::recursive_mutex> held(hostLock_);
    DWORD clear = D3DCLEAR_TARGET;
    if (present_.EnableAutoDepthStencil)
      clear |= D3DCLEAR_ZBUFFER | (present_.AutoDepthStencilFormat == D3DFMT_D24S8 ? D3DCLEAR_STENCIL : 0);
    host_->Clear(0, nullptr, clear, 0xFF000000, 1.0f, 0);
    host_->BeginScene();
    // Nothing of the host's shows while the device is lost; its frame and
    // gauge functions still run, unless the loss is a silent one.
    if (!deviceLost() && !resourcesAway()) drawWorld();
  }
  frameObject.frame = frame_;
  frameObject.bodySeconds = 0.0;
  gaugePoint.bodySeconds = 0.0;
  game_->takeCallSeconds();
  // A silent loss: no frame, gauge or menu call reaches the plug-in.
  const bool silent = loss_ && loss_->silent && deviceLost();
  if (silent && !silentNoted_) log_.note("no plug-in call while the device is lost");
  silentNoted_ = silent;
  if (!silent) callPlugin(block, times);
  times.hostGameUs = game_->takeCallSeconds() * 1e6;  // inside the plug-in's share
  game_->endFrame();
  host_->EndScene();
  if (block)
    for (const std::string& s : block->screenshots) screenshot(s);
  if (!deviceLost()) {
    host_->Present(nullptr, nullptr, nullptr, nullptr);
  } else if (!presentFailNoted_) {
    presentFailNoted_ = true;
    log_.note("present fails while the device is lost");
  }
  times.frameTotalUs = (nowSeconds() - f0) * 1e6;
  times.frameHostUs = frameObject.bodySeconds * 1e6;
  times.gaugeHostUs = gaugePoint.bodySeconds * 1e6;
  if (!menuOpen_) times.menuUs = 0.0;
  return times;
}

// The plug-in's share of a frame: the frame function and the gauge point
// through their detours, each judged, then the settings page when open.
void Stage::callPlugin(const FrameBlock* block, FrameTimes& times) {
  auto frameEntry = reinterpret_cast<FrameEntry>(kFrameFunctionAddress);
  auto gaugeEntry = reinterpret_cast<FrameEntry>(kGaugePointFunctionAddress);
  const int resetsBefore = resetGeneration_.load();  // read first: a Reset under way moves it again at its end
  const DeviceStateSnapshot stateBefore(device_);
  const double t0 = nowSeconds();
  if (homeHoldMs_) startHomeRelease();
  const int frameResult = frameEntry(&frameObject);
  const double t1 = nowSeconds();
  if (homeWatchFrames_ > 0) {
    --homeWatchFrames_;
    log_.note("home key state after the frame function %s", (GetAsyncKeyState(VK_HOME) & 0x8000) ? "down" : "up");
  }
  judgeFrameFunction(frameResult);
  const double g0 = nowSeconds();
  const int gaugeResult = gaugeEntry(&frameObject);
  const double g1 = nowSeconds();
  // A Reset of the host's thread meanwhile puts the device's state back to
  // its defaults: the state is judged only over hooks that none came into.
  judgeGaugePoint(gaugeResult, resetGeneration_.load() == resetsBefore ? &stateBefore : nullptr);
  const double m0 = nowSeconds();
  if (menuOpen_ && plugin_) {
    MenuKeys k = block ? block->keys : MenuKeys{};
    if (k.any()) log_.note("menu keys %d %d %d %d %d %d", k.ignored, k.up, k.down, k.decrease, k.increase, k.select);
    plugin_->HandleMenuInput(k.ignored, k.up, k.down, k.decrease, k.increase, k.select);
    plugin_->DrawMenuPage();
    double now = nowSeconds();
    plugin_->Tick(static_cast<float>(now - lastTick_));
    lastTick_ = now;
  } else {
    lastTick_ = nowSeconds();
  }
  const double m1 = nowSeconds();
  times.frameCallUs = (t1 - t0) * 1e6;
  times.gaugeCallUs = (g1 - g0) * 1e6;
  times.menuUs = (m1 - m0) * 1e6;
}

// The frame function must return the host's own result and leave the
// screen-width words as the host set them.
void Stage::judgeFrameFunction(int result) {
  if (result != frame_) ++faults_.results, log_.record("fault", "frame function result %d, expected %d", result, frame_);
  const std::uint32_t widthA = memory_.screenWord(kScreenWidthWordA), widthB = memory_.screenWord(kScreenWidthWordB);
  if (widthA != kHostScreenWidth || widthB != kHostScreenWidth) {
    ++faults_.widthWords;
    log_.record("fault", "screen-width words %u %u after the frame function", widthA, widthB);
  }
}

// The gauge point must return the host's result, and the device's state
// after both calls must be what it was before them.
void Stage::judgeGaugePoint(int result, const DeviceStateSnapshot* stateBefore) {
  if (result != kGaugePointResult) ++faults_.results, log_.record("fault", "gauge point result %d", result);
  if (!stateBefore) return;
  const std::vector<std::string> changed = DeviceStateSnapshot(device_).differencesFrom(*stateBefore);
  if (!changed.empty()) {
    ++faults_.deviceState;
    std::string names;
    for (const std::string& c : changed) names += " " + c;
    log_.record("fault", "device state changed by the plug-in:%s", names.c_str());
  }
}

// The end: the faults line, the plug-in destroyed as the host does at exit,
// the last counts and the summary.
int Stage::finish() {
  waitForThreads();
  if (timing_) std::fclose(timing_), timing_ = nullptr;
  log_.setFrame(scenario_.frames);
  const int depthStencil = depthStencilFaults_ + (counting_ ? counting_->depthStencilFaults() : 0);
  log_.note("faults this-pointer=%d width-words=%d results=%d device-state=%d depth-stencil=%d reset=%d",
            frameObject.wrongThis, faults_.widthWords, faults_.results, faults_.deviceState, depthStencil,
            resetFaults_);
  // The host destroys the plug-in at exit (scalar deleting destructor, free).
  if (plugin_) {
    plugin_->destroy(1);
    log_.note("plug-in destroyed");
  }
  writeDeviceCalls(scenario_.frames);
  tools_.noteCounts();
  if (counting_)
    log_.note("device proxy references=%ld over-releases=%d faults-injected=%d", counting_->references(),
              counting_->overReleases(), counting_->faultsInjected());
  log_.writeSummary();
  return 0;
}

int Stage::run(void* sectionBegin, void* sectionEnd) {
  if (const int failed = setUp(sectionBegin, sectionEnd)) return failed;
  openTiming();
  std::size_t nextBlock = 0;
  lastTick_ = nowSeconds();
  frameStart_ = nowSeconds();
  for (frame_ = 0; frame_ < scenario_.frames; ++frame_) {
    const FrameBlock* block = nullptr;
    if (nextBlock < scenario_.blocks.size() && scenario_.blocks[nextBlock].frame == frame_)
      block = &scenario_.blocks[nextBlock++];
    const FrameTimes times = playFrame(block);
    writeDeviceCalls(frame_);
    writeTiming(times);
    if (options_.resourcesEvery > 0 && (frame_ % options_.resourcesEvery == 0 || frame_ + 1 == scenario_.frames))
      noteResources();
    pace();
  }
  return finish();
}

}  // namespace

int runStage(const Scenario& scenario, const StageOptions& options, void* sectionBegin, void* sectionEnd) {
  Stage stage(scenario, options);
  return stage.run(sectionBegin, sectionEnd);
}

}  // namespace simhost
