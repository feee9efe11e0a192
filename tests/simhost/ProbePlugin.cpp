// Test equipment: a plug-in that reads the simulated host exactly where the
// real plug-in will, detours the host's three functions with plain 5-byte
// jumps, draws a few known marks through the host object, makes a known set
// of device calls each frame and writes what it found to probe.txt in the
// game folder. Words in probe-options.txt turn on deliberate faults:
// "leak-texture" keeps one texture made on the device, "over-release"
// releases the device once more than it took.
#include <windows.h>
#include <d3d9.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#define PROBE_THISCALL __attribute__((thiscall))

// The host object's interface has external linkage on purpose: declared in an
// unnamed namespace with no implementation in this module, the compiler may
// decide no such object can exist and drop the virtual calls.
struct HostGame {
  virtual void PROBE_THISCALL r1() = 0;
  virtual void PROBE_THISCALL r2() = 0;
  virtual void PROBE_THISCALL WriteText(float x, float y, const char* text) = 0;
  virtual void PROBE_THISCALL DrawMarker(int graphic, float x, float y) = 0;
  virtual void PROBE_THISCALL r5() = 0;
  virtual void PROBE_THISCALL PrepareMenuPage(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) = 0;
  virtual void PROBE_THISCALL DrawHighlightBox(float x, float y, float w, float h) = 0;
  virtual void PROBE_THISCALL r8() = 0;
  virtual void PROBE_THISCALL BeginDrawModes(int mask) = 0;
  virtual void PROBE_THISCALL EndDrawModes(int mask) = 0;
  virtual void PROBE_THISCALL SelectFont(int font) = 0;
  virtual void PROBE_THISCALL SelectTextMode(int mode) = 0;
  virtual void PROBE_THISCALL SetColor(float r, float g, float b, float a) = 0;
};

namespace {


std::FILE* out = nullptr;
HostGame* host = nullptr;
std::uintptr_t base = 0;
int frameCalls = 0, gaugeCalls = 0;
IDirect3DDevice9* device = nullptr;
bool leakTexture = false, overRelease = false;
IDirect3DTexture9* leaked = nullptr;
// What the host reads through OSTREL_AllocationCount: a known pattern.
unsigned long long allocations = 0;
void* firstThis = nullptr;
int thisChanges = 0;

template <typename T>
T at(std::uintptr_t address) {
  T v;
  std::memcpy(&v, reinterpret_cast<const void*>(address), sizeof v);
  return v;
}
std::uintptr_t ptr(std::uintptr_t address) { return at<std::uint32_t>(address); }

// Copies the 5 prologue bytes into a trampoline and jumps from the target to
// the hook; returns the trampoline (null when the prologue is not the
// expected whole instructions).
void* detour(std::uintptr_t target, void* hook, const char* name) {
  auto* t = reinterpret_cast<std::uint8_t*>(target);
  std::fprintf(out, "prologue %s %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X\n", name, t[0], t[1], t[2],
               t[3], t[4], t[5], t[6], t[7], t[8], t[9], t[10]);
  const std::uint8_t expected[5] = {0x55, 0x8B, 0xEC, 0x5D, 0x90};
  if (std::memcmp(t, expected, 5) != 0) return nullptr;
  auto* tramp = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 32, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  std::memcpy(tramp, t, 5);
  tramp[5] = 0xE9;
  std::int32_t back = static_cast<std::int32_t>(target + 5 - (reinterpret_cast<std::uintptr_t>(tramp) + 10));
  std::memcpy(tramp + 6, &back, 4);
  DWORD old = 0;
  VirtualProtect(t, 5, PAGE_EXECUTE_READWRITE, &old);
  t[0] = 0xE9;
  std::int32_t rel = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(hook) - (target + 5));
  std::memcpy(t + 1, &rel, 4);
  VirtualProtect(t, 5, old, &old);
  FlushInstructionCache(GetCurrentProcess(), t, 5);
  return tramp;
}

using FrameFn = int(PROBE_THISCALL*)(void*);
FrameFn frameTrampoline = nullptr;
FrameFn gaugeTrampoline = nullptr;
using TextureFn = HRESULT(WINAPI*)(IDirect3DDevice9*, const char*, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                   DWORD, DWORD, D3DCOLOR, void*, void*, IDirect3DTexture9**);
TextureFn textureTrampoline = nullptr;

void dumpState() {
  std::uintptr_t game = ptr(base + 0x3EAC48), car = ptr(base + 0x125FC68), pause = ptr(base + 0x493634);
  std::uintptr_t carObject = ptr(base + 0x4EF660);
  std::fprintf(out, "frame %d mode=%d prestart=%.3f finished=%d clock=%.3f event=%d/%d pause=%d rpm=%.1f gear=%d slot=%d",
               frameCalls, at<int>(game + 0x728), at<float>(car + 0x244), at<int>(car + 0x144), at<float>(car + 0x15C),
               at<int>(car + 0x274), at<int>(ptr(ptr(car + 0x758) + 0x10)), at<int>(pause + 0x10),
               at<float>(car + 0x10), at<int>(car + 0x170), at<int>(base + 0x1260800 + 8));
  if (carObject) {
    std::uintptr_t damage = ptr(carObject + 0x620), engine = ptr(carObject + 0x698);
    std::fprintf(out, " car=yes dmg0=%.3f dmg1=%d tire2=%.3f,%.3f extra=%s water=%.2f velx=%.2f",
                 at<float>(damage + 0), at<int>(damage + 4), at<float>(damage + 0x32C), at<float>(damage + 0x32C + 28),
                 ptr(damage + 290 * 4) ? "yes" : "no", at<float>(engine + 0x23C), at<float>(carObject + 0x1C0));
  } else {
    std::fprintf(out, " car=no");
  }
  std::fprintf(out, " width=%u home=%d\n", at<std::uint32_t>(ptr(game + 0x5C) + 0x14),
               (GetAsyncKeyState(VK_HOME) & 0x8000) ? 1 : 0);
}

struct ColourVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
};

// Per frame: 5 state changes, 1 texture bind, 1 draw, 1 render-target fetch
// (other), 1 render-target switch, 2 creations, 1 surface copy; each result
// goes to probe.txt.
void deviceWork() {
  if (!device) return;
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  device->SetTexture(0, nullptr);
  // A magenta block on the grass at (600, 300), 10 x 10 pixels.
  const D3DCOLOR m = 0xFFFF00FF;
  ColourVertex quad[4] = {{600, 300, 0, 1, m}, {610, 300, 0, 1, m}, {600, 310, 0, 1, m}, {610, 310, 0, 1, m}};
  HRESULT draw = device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ColourVertex));
  IDirect3DSurface9* rt = reinterpret_cast<IDirect3DSurface9*>(1);  // must come back null on failure
  HRESULT getRt = device->GetRenderTarget(0, &rt);
  HRESULT setRt = 1;
  if (SUCCEEDED(getRt) && rt) setRt = device->SetRenderTarget(0, rt);
  if (SUCCEEDED(getRt) && rt) rt->Release();
  IDirect3DTexture9* t = reinterpret_cast<IDirect3DTexture9*>(1);
  HRESULT create = device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t, nullptr);
  IDirect3DSurface9* plain = nullptr;
  HRESULT createPlain = device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr);
  HRESULT fill = plain ? device->ColorFill(plain, nullptr, 0xFF00FF00) : 1;
  if (plain) plain->Release();
  std::fprintf(out, "device %d draw=%08lX getrt=%08lX rt=%s setrt=%08lX create=%08lX tex=%s plain=%08lX fill=%08lX\n",
               frameCalls, static_cast<unsigned long>(draw), static_cast<unsigned long>(getRt),
               rt ? (rt == reinterpret_cast<IDirect3DSurface9*>(1) ? "untouched" : "yes") : "null",
               static_cast<unsigned long>(setRt), static_cast<unsigned long>(create),
               t ? (t == reinterpret_cast<IDirect3DTexture9*>(1) ? "untouched" : "yes") : "null",
               static_cast<unsigned long>(createPlain), static_cast<unsigned long>(fill));
  if (SUCCEEDED(create) && t) {
    if (leakTexture && !leaked) leaked = t;
    else t->Release();
  }
}

int PROBE_THISCALL frameHook(void* self) {
  ++frameCalls;
  if (!firstThis) firstThis = self;
  else if (self != firstThis) ++thisChanges;
  dumpState();
  host->BeginDrawModes(67);
  host->SelectFont(0);
  host->SetColor(1.0f, 0.0f, 0.0f, 1.0f);
  host->DrawMarker(1253, 20.0f, 100.0f);
  host->SetColor(0.0f, 1.0f, 0.0f, 1.0f);
  host->WriteText(300.0f, 200.0f, "PROBE");
  host->EndDrawModes(67);
  deviceWork();
  allocations += frameCalls == 3 ? 7 : 2;
  // A known cost on the third frame, for the timing columns: long enough to
  // stand out against the host's own body even when 32-bit code is emulated.
  if (frameCalls == 3) {
    LARGE_INTEGER f, t0, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    do QueryPerformanceCounter(&t);
    while ((t.QuadPart - t0.QuadPart) * 1000 < 200 * f.QuadPart);
  }
  // Leave the width word changed after the fifth frame only: the host must
  // notice once, and not again after the sixth frame put it back.
  std::uintptr_t screen = ptr(ptr(base + 0x3EAC48) + 0x5C);
  if (frameCalls == 6)
    *reinterpret_cast<std::uint32_t*>(screen + 0x14) = *reinterpret_cast<std::uint32_t*>(screen + 0xB8);
  int r = frameTrampoline(self);
  std::fprintf(out, "frame-result %d\n", r);
  if (frameCalls == 5) *reinterpret_cast<std::uint32_t*>(screen + 0x14) = 777;
  return r;
}

int PROBE_THISCALL gaugeHook(void* self) {
  ++gaugeCalls;
  ++allocations;
  int r = gaugeTrampoline(self);
  std::fprintf(out, "gauge-result %d\n", r);
  return r;
}

HRESULT WINAPI textureHook(IDirect3DDevice9* d, const char* file, UINT w, UINT h, UINT mips, DWORD usage, D3DFORMAT f,
                           D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR key, void* info, void* pal,
                           IDirect3DTexture9** texture) {
  HRESULT hr = textureTrampoline(d, file, w, h, mips, usage, f, pool, filter, mipFilter, key, info, pal, texture);
  D3DSURFACE_DESC desc{};
  if (SUCCEEDED(hr) && texture && *texture) (*texture)->GetLevelDesc(0, &desc);
  std::fprintf(out, "texture \"%s\" pool=%d hr=%08lX size=%ux%u\n", file ? file : "(null)", static_cast<int>(pool),
               static_cast<unsigned long>(hr), desc.Width, desc.Height);
  return hr;
}

void startUp() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, nullptr, &self);
  base = reinterpret_cast<std::uintptr_t>(self);
  std::fprintf(out, "base %08lX\n", static_cast<unsigned long>(base));
  device = reinterpret_cast<IDirect3DDevice9*>(ptr(ptr(ptr(base + 0x3EA990) + 0x28) + 0xF4));
  if (device) {
    // A balanced pair, then the deliberate fault when asked for.
    ULONG up = device->AddRef();
    ULONG down = device->Release();
    std::fprintf(out, "device refs %lu %lu\n", up, down);
    if (overRelease) std::fprintf(out, "over-release %lu\n", device->Release());
  }
  D3DDEVICE_CREATION_PARAMETERS cp{};
  RECT client{};
  if (device && SUCCEEDED(device->GetCreationParameters(&cp))) GetClientRect(cp.hFocusWindow, &client);
  std::fprintf(out, "device %s client=%ldx%ld\n", device ? "yes" : "no", client.right - client.left,
               client.bottom - client.top);
  frameTrampoline = reinterpret_cast<FrameFn>(detour(0x40E890, reinterpret_cast<void*>(&frameHook), "frame"));
  gaugeTrampoline = reinterpret_cast<FrameFn>(detour(0x4BF720, reinterpret_cast<void*>(&gaugeHook), "gauge"));
  HMODULE tex = GetModuleHandleA("kvxtexutil.dll");
  std::fprintf(out, "texutil %s\n", tex ? "yes" : "no");
  if (tex)
    textureTrampoline = reinterpret_cast<TextureFn>(
        detour(reinterpret_cast<std::uintptr_t>(tex) + 0xAEC15, reinterpret_cast<void*>(&textureHook), "texture"));
  dumpState();
  std::fflush(out);
}

struct Probe {
  virtual void* PROBE_THISCALL destroy(unsigned flags) {
    std::fprintf(out, "destroyed flags=%u frames=%d gauges=%d this-changes=%d\n", flags, frameCalls, gaugeCalls,
                 thisChanges);
    std::fclose(out);
    out = nullptr;
    return this;
  }
  virtual const char* PROBE_THISCALL QueryName() {
    static int calls = 0;
    std::fprintf(out, "QueryName %d\n", ++calls);
    if (calls == 1) startUp();
    return "PROBE";
  }
  virtual void PROBE_THISCALL DrawMenuPage() {
    host->PrepareMenuPage(0, 0, 0, 0);
    host->DrawHighlightBox(100.0f, 150.0f, 200.0f, 20.0f);
    host->SelectTextMode(4);
    host->SetColor(1.0f, 1.0f, 1.0f, 1.0f);
    host->WriteText(110.0f, 152.0f, "MENU ROW");
    host->SelectTextMode(0);
  }
  virtual void PROBE_THISCALL a() {}
  virtual void PROBE_THISCALL HandleMenuInput(std::uint32_t i, std::uint32_t u, std::uint32_t d, std::uint32_t l,
                                              std::uint32_t r, std::uint32_t s) {
    if ((i | u | d | l | r | s) & 0xFF)
      std::fprintf(out, "input %u %u %u %u %u %u\n", i & 0xFF, u & 0xFF, d & 0xFF, l & 0xFF, r & 0xFF, s & 0xFF);
  }
  virtual void PROBE_THISCALL Tick(float elapsed) { std::fprintf(out, "tick %.4f\n", elapsed); }
  virtual void PROBE_THISCALL b(std::uint32_t, std::uint32_t, std::uint32_t) {}
  virtual void PROBE_THISCALL c(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
  virtual void PROBE_THISCALL d(std::uint32_t, std::uint32_t, std::uint32_t) {}
};

}  // namespace

extern "C" __declspec(dllexport) void* KVX_CreatePlugin(HostGame* h) {
  host = h;
  out = std::fopen("probe.txt", "wb");
  // Unbuffered: a host that hangs or dies still leaves what was seen.
  if (out) setvbuf(out, nullptr, _IONBF, 0);
  if (std::FILE* options = std::fopen("probe-options.txt", "rb")) {
    char word[64];
    while (std::fscanf(options, "%63s", word) == 1) {
      if (!std::strcmp(word, "leak-texture")) leakTexture = true;
      if (!std::strcmp(word, "over-release")) overRelease = true;
    }
    std::fclose(options);
  }
  allocations = 4;
  std::fprintf(out, "created host=%s\n", h ? "yes" : "no");
  return new Probe;
}

extern "C" __declspec(dllexport) unsigned long long OSTREL_AllocationCount() { return allocations; }
