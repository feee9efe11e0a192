// The shipped sample set on a real device, and what many renderer lifetimes
// leave behind.
#include "GaugeScene.h"

#include <psapi.h>

#include <cmath>

#include "TestPaths.h"
#include "gauges/GaugeValueContext.h"
#include "hooks/FrameDriver.h"
#include "hooks/HookState.h"
#include "hooks/TextureLoadHook.h"

using namespace gauge_tests;

namespace {

std::string sampleFolder() {
  return testing_support::sourceDir() + "\\assets\\plugin\\Gauges.default\\Car1";
}

SIZE_T privateBytes() {
  PROCESS_MEMORY_COUNTERS_EX pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
  return pmc.PrivateUsage;
}

}  // namespace

class SampleSet : public GaugeScene {
 protected:
  std::unique_ptr<ostrel::TextureHandler> makeSample() {
    return std::make_unique<ostrel::TextureHandler>(device, target, sampleFolder() + "\\Gauges.ini",
                                                    sampleFolder() + "\\dash_base.png");
  }
};

TEST_F(SampleSet, LoadsEveryElementAndDrawsTheCarsValues) {
  const std::size_t before = logSize();
  auto h = makeSample();
  const std::string log = logSince(before);
  ASSERT_TRUE(h->active());
  EXPECT_EQ(countOf(log, "could not be loaded"), 0) << log;
  EXPECT_EQ(countOf(log, "Gauges.ini:"), 0) << log;  // the lint finds nothing
  const ostrel::TextureHandler::LoadedSet set = h->loadedSet();
  EXPECT_EQ(set.elements, 15u);
  EXPECT_EQ(set.effects, 3u);
  EXPECT_EQ(set.fonts, 1u);  // four number elements share one font
  ASSERT_EQ(set.refreshRects, 1u);

  // Standing still in neutral: the reference picture.
  host.gear(0);
  render(*h);
  const std::vector<std::uint32_t> idle = pixels;

  host.rpm(4000.0f);
  host.speed(125.0f);
  host.gear(3);
  host.waterKelvin(273.15f + 150.0f);  // overheating: the lamp lights
  host.batteryCharge(1.0f);
  render(*h, 5.0);  // long enough for the needle's spring to settle
  render(*h, 0.1);  // and early in the overheat lamp's blink period
  savePng("sample-4000rpm.png");
  auto changed = [&](int x, int y) { return pixels.at(y * 512 + x) != idle.at(y * 512 + x); };
  // The tacho needle points from its pivot (100, 128) 135 degrees clockwise
  // from pointing left: up and to the right.
  EXPECT_TRUE(changed(100 + 35, 128 - 35));
  EXPECT_TRUE(changed(100 - 60, 128));  // no longer at rest pointing left
  bool gearChanged = false;
  for (int y = 24; y < 60 && !gearChanged; ++y)
    for (int x = 240; x < 272; ++x) gearChanged |= changed(x, y);
  EXPECT_TRUE(gearChanged);
  EXPECT_TRUE(changed(412 - 75, 128 + 10));  // the speed pie's ring, lower left
  EXPECT_FALSE(changed(412 + 75, 128 + 10));  // not yet on the right
  EXPECT_TRUE(changed(250, 150));            // overheat lamp
}

TEST_F(GaugeScene, TwoHundredLifetimesLeaveCountsAndMemoryFlat) {
  // One of every image-holding kind, a shared font and an effect.
  ASSERT_TRUE(writeSolid(path("img.png"), 32, 32, 0xFFFFFFFFu));
  ASSERT_TRUE(writeSolid(path("font.png"), 13 * 4, 8, 0xFFFFFFFFu));
  definition(
      "[E]\nType=effect\nMode=blink once colour\nTrigger=rpm\n"
      "[Needle]\nType=needle\nImage=img.png\nValueSource=rpm\nAngle0=0\nValue0=0\nAngle1=90\nValue1=100\n"
      "[Pie]\nType=pie\nImage=img.png\nPosX=100\nPosY=100\nValueSource=rpm\nAngle0=0\nValue0=0\n"
      "Angle1=90\nValue1=100\nEffectName=E\n"
      "[Bar]\nType=bar\nImage=img.png\nValueSource=rpm\nMax=100\n"
      "[Tint]\nType=colour\nImage=img.png\nValueSource=rpm\nMax=100\n"
      "[Lamp]\nType=light\nImage=img.png\nValueSource=rpm\n"
      "[Gear]\nType=gear\nGearImage0=img.png\nGearImage1=img.png\n"
      "[Digits]\nType=number\nFont=font.png\nValueSource=rpm\n"
      "[Digits2]\nType=number\nFont=font.png\nValueSource=rpm\n"
      "[R]\nType=refresh\nRight=64\nBottom=64\n");
  host.rpm(50.0f);
  auto cycle = [&] {
    auto h = make();
    device->BeginScene();
    h->Render();
    device->EndScene();
  };
  for (int i = 0; i < 20; ++i) cycle();  // caches and heaps warm up first
  const ULONG deviceRefs = refCount(device);
  const ULONG targetRefs = refCount(target);
  const SIZE_T memory = privateBytes();
  // A leaked texture shows at once in the device count (each holds the
  // device); the memory bound is for what is not a texture.
  for (int i = 0; i < 200; ++i) cycle();
  EXPECT_EQ(refCount(device), deviceRefs);
  EXPECT_EQ(refCount(target), targetRefs);
  EXPECT_LT(privateBytes(), memory + 2 * 1024 * 1024) << "grew from " << memory;
  // And the cycles really drew: the set is not inert.
  pixels = read();
  EXPECT_NE(at(10, 10), kBase);
}

TEST_F(SampleSet, RendererHoldsOneTargetReferenceWhileAlive) {
  const ULONG refs = refCount(target);
  {
    auto h = makeSample();
    EXPECT_EQ(refCount(target), refs + 1);
    render(*h);
    EXPECT_EQ(refCount(target), refs + 1);
  }
  EXPECT_EQ(refCount(target), refs);
}

// ---- The texture creation hook around the renderers it makes ---------------

namespace {

// Stands in for the host's texture function behind the hook's trampoline.
struct FakeTextureFunction {
  HRESULT result = S_OK;
  IDirect3DTexture9* hands = nullptr;  // what it leaves in the out pointer
  bool reenter = false;                // comes back into the hook once, as a helper library would
  std::vector<DWORD> usages;           // usage of each call it saw
} fake;

HRESULT __stdcall fakeCreate(IDirect3DDevice9* device, LPCSTR name, UINT, UINT, UINT, DWORD usage, D3DFORMAT,
                             D3DPOOL, DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*, PALETTEENTRY*,
                             IDirect3DTexture9** texture) {
  fake.usages.push_back(usage);
  if (fake.reenter && fake.usages.size() == 1) {
    IDirect3DTexture9* inner = nullptr;
    ostrel::TextureLoadHook(device, name, D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT,
                            D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &inner);
    if (inner) inner->Release();
  }
  if (texture) *texture = fake.hands;
  if (SUCCEEDED(fake.result) && fake.hands) fake.hands->AddRef();  // the caller's reference
  return fake.result;
}

}  // namespace

class TextureHook : public SampleSet {
 protected:
  void SetUp() override {
    SampleSet::SetUp();
    fake = FakeTextureFunction{};
    fake.hands = target;
    auto& hs = ostrel::hookState();
    hs.textureLoadTrampoline = reinterpret_cast<void*>(&fakeCreate);
    hs.gaugeTextureMap[ostrel::normalisePath(base())] = ostrel::normalisePath(sampleFolder() + "\\Gauges.ini");
  }
  void TearDown() override {
    ostrel::destroyGaugeRenderers();
    auto& hs = ostrel::hookState();
    hs.gaugeTextureMap.clear();
    hs.textureLoadTrampoline = nullptr;
    SampleSet::TearDown();
  }
  static std::string base() { return sampleFolder() + "\\dash_base.png"; }
  HRESULT request() {
    IDirect3DTexture9* out = nullptr;
    HRESULT hr = ostrel::TextureLoadHook(device, base().c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN,
                                         D3DPOOL_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &out);
    if (SUCCEEDED(hr) && out) out->Release();
    return hr;
  }
};

TEST_F(TextureHook, MakesARendererOnlyForACreatedTexture) {
  const ULONG refs = refCount(target);
  // A failed call that leaves a stale pointer behind: no renderer on it.
  fake.result = D3DERR_INVALIDCALL;
  EXPECT_EQ(request(), D3DERR_INVALIDCALL);
  EXPECT_TRUE(ostrel::hookState().gaugeRenderers.empty());
  fake.hands = nullptr;
  fake.result = S_OK;
  EXPECT_EQ(request(), S_OK);
  EXPECT_TRUE(ostrel::hookState().gaugeRenderers.empty());
  EXPECT_EQ(refCount(target), refs);
  fake.hands = target;
  EXPECT_EQ(request(), S_OK);
  ASSERT_EQ(ostrel::hookState().gaugeRenderers.size(), 1u);
  EXPECT_TRUE(ostrel::hookState().gaugeRenderers[0]->active());
  EXPECT_EQ(refCount(target), refs + 1);
  ostrel::destroyGaugeRenderers();
  EXPECT_EQ(refCount(target), refs);
}

TEST_F(TextureHook, NeverComesBackIntoItself) {
  // The host's function (a helper library's) calls back into the hooked
  // function; the renderer's own base-image load happens inside as well.
  fake.reenter = true;
  EXPECT_EQ(request(), S_OK);
  // The outer call claimed the texture; the inner one passed untouched.
  ASSERT_EQ(fake.usages.size(), 2u);
  EXPECT_EQ(fake.usages[0], static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
  EXPECT_EQ(fake.usages[1], 0u);
  EXPECT_EQ(ostrel::hookState().gaugeRenderers.size(), 1u);
  EXPECT_FALSE(ostrel::TextureHookBypass::active());
}
