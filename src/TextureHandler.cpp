#include "TextureHandler.h"

#include <algorithm>

#include "KVX/ComRelease.h"
#include "KVX/D3D9Helpers.h"
#include "KVX/TextureFileLoader.h"
#include "gauges/GaugeEffect.h"
#include "gauges/GaugeElements.h"
#include "gauges/GaugeValueContext.h"
#include "gauges/GaugeValues.h"
#include "hooks/HookState.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/SteadyClock.h"

namespace ostrel {

TextureHandler::TextureHandler(IDirect3DDevice9* dev, IDirect3DTexture9* targetTexture,
                               const std::string& definition, const std::string& fileName)
    : BasicHUD(std::string(), NoLoad{}),
      textureFileName(fileName),
      device(dev),
      lastRenderTime(steadyNow()) {
  try {
    if (!device || !targetTexture) {
      logText(std::string(FT("Gauges: no device or target texture for ")) + definition);
      return;
    }
    std::string loader;
    const HRESULT hr = loadGaugeBaseImage(device, textureFileName, hookState().textureLoadTrampoline,
                                          &baseImage, &loader);
    if (FAILED(hr)) {
      baseImage = nullptr;
      logText(std::string(FT("Gauges: base image could not be loaded by ")) + loader + FT(" (") +
              resultName(hr) + FT("): ") + textureFileName);
      return;
    }
    D3DSURFACE_DESC desc{};
    if (SUCCEEDED(baseImage->GetLevelDesc(0, &desc))) {
      baseWidth = static_cast<float>(desc.Width);
      baseHeight = static_cast<float>(desc.Height);
    }
    logText(std::string(FT("Gauges: base image loaded: ")) + textureFileName);

    name = FT("GaugeRenderer");
    loadLayout();
    target = targetTexture;
    target->AddRef();
    logText(std::string(FT("Gauges: loading gauge set ")) + definition);
    definitionPath = definition;
    folder = gauges::folderOf(definition);
    loadGaugeSet();
    loadShowFlags();
    frameInterval = refreshRate != 0 ? 1.0f / static_cast<float>(refreshRate) : 0.0f;
  } catch (...) {
    // Out of memory while loading: stay inert rather than half-built.
    logText(FT("Gauges: gauge set could not be loaded"));
    releaseAll();
  }
}

TextureHandler::~TextureHandler() { releaseAll(); }

void TextureHandler::releaseAll() {
  releaseCom(savedState);
  releaseCom(baseImage);
  for (auto* e : elements) delete e;
  elements.clear();
  delete valueContext;
  valueContext = nullptr;
  for (auto* f : fonts) delete f;
  fonts.clear();
  for (auto* e : effects) delete e;
  effects.clear();
  refreshRects.clear();
  releaseCom(target);
}

void TextureHandler::SetUpRenderStates() {
  const char* fn = FT("TextureHandler::SetUpRenderStates");
  // Only the states that change a pixel of our pre-transformed quads: with
  // depth off, the depth function and depth writes do nothing; lighting and
  // specular never reach pre-transformed vertices; the alpha reference only
  // counts with the alpha test on. The state block gives the host back
  // whatever it had.
  OSTREL_CHECK_HR(device->SetRenderState(D3DRS_ZENABLE, FALSE), fn);
  OSTREL_CHECK_HR(device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), fn);
  OSTREL_CHECK_HR(device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE), fn);
  OSTREL_CHECK_HR(device->SetRenderState(D3DRS_FOGENABLE, FALSE), fn);
  OSTREL_CHECK_HR(device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), fn);
  OSTREL_CHECK_HR(device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), fn);
}

void TextureHandler::restoreBaseImage(IDirect3DSurface9* targetSurface) {
  IDirect3DSurface9* source = nullptr;
  if (!targetSurface || FAILED(baseImage->GetSurfaceLevel(0, &source))) {
    logText(FT("Gauges: base image surface unavailable; texture not restored"));
    return;
  }
  auto copy = [&](const RECT* from, const POINT* to) {
    const HRESULT hr = device->UpdateSurface(source, from, targetSurface, to);
    if (FAILED(hr))
      logText(std::string(FT("Gauges: base image copy failed: ")) + resultName(hr) + FT(", ") +
              resultDescription(hr));
  };
  if (refreshRects.empty()) {
    copy(nullptr, nullptr);
  } else {
    // Clipped to the image: an empty or outside rectangle has nothing to copy,
    // and handing it to the device would only fail (and log) every frame.
    const LONG w = static_cast<LONG>(baseWidth), h = static_cast<LONG>(baseHeight);
    for (const RefreshRect& r : refreshRects) {
      const RECT from{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0), std::min<LONG>(r.right, w),
                      std::min<LONG>(r.bottom, h)};
      if (from.left >= from.right || from.top >= from.bottom) continue;
      const POINT to{from.left, from.top};
      copy(&from, &to);
    }
  }
  source->Release();
}

void TextureHandler::drawElements(float frameTime) {
  for (gauges::TextureObject* e : elements) e->Draw(device, *valueContext, frameTime);
}

void TextureHandler::Render() {
  float dt = 0.0f;
  try {
    if (!baseImage || !target || !device || !valueContext) return;
    const auto now = steadyNow();
    dt = static_cast<float>(
        static_cast<double>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(now - lastRenderTime).count()) /
        1000000000.0);
    if (dt < frameInterval) return;
    lastRenderTime = now;
    for (gauges::GaugeEffect* e : effects)
      e->update(dt, gauges::testCondition(*valueContext, e->trigger, e->threshold));
  } catch (...) {
    return;
  }

  const char* fn = FT("TextureHandler::Render");
  // One state block for the renderer's life, made on the first frame (a new
  // block already holds the device's current state) and captured again on
  // the others: creating a whole-device block is among the dearest calls.
  HRESULT hr = S_OK;
  if (savedState) {
    hr = savedState->Capture();
  } else {
    hr = device->CreateStateBlock(D3DSBT_ALL, &savedState);
    if (FAILED(hr)) savedState = nullptr;
  }
  OSTREL_CHECK_HR(hr, fn);
  // Without it the host's states could not be given back: skip this frame's
  // drawing (the texture keeps its last picture) rather than leave them changed.
  if (FAILED(hr) || !savedState) {
    endFrame();
    return;
  }

  IDirect3DSurface9* hostTarget = nullptr;
  IDirect3DSurface9* gaugeSurface = nullptr;
  hr = device->GetRenderTarget(0, &hostTarget);
  OSTREL_CHECK_HR(hr, fn);
  if (FAILED(hr)) hostTarget = nullptr;
  hr = target->GetSurfaceLevel(0, &gaugeSurface);
  OSTREL_CHECK_HR(hr, fn);
  if (FAILED(hr)) gaugeSurface = nullptr;
  bool onTarget = false;
  // Without the host's own target there would be nothing to switch back to.
  if (gaugeSurface && hostTarget) {
    hr = device->SetRenderTarget(0, gaugeSurface);
    OSTREL_CHECK_HR(hr, fn);
    onTarget = SUCCEEDED(hr);
  }

  // Drawing anywhere but the gauge texture would paint over the host's frame.
  if (onTarget) {
    try {
      // Every element draws pre-transformed quads, which no transform reaches:
      // the renderer sets none.
      restoreBaseImage(gaugeSurface);
      OSTREL_CHECK_HR(device->SetPixelShader(nullptr), fn);
      OSTREL_CHECK_HR(device->SetTexture(1, nullptr), fn);
      SetUpRenderStates();
      SetupVertex2DRenderState(device);
      // The host drew (with its own texture and vertex format) since our
      // last pass: the first quad binds both again.
      lastBoundTexture = nullptr;
      drawElements(dt);
    } catch (...) {
      logText(FT("Gauges: frame abandoned"));
    }
  }

  // The host gets its render target and every state back, whatever happened.
  if (onTarget) restoreHostTarget(hostTarget);
  releaseCom(gaugeSurface);
  releaseCom(hostTarget);
  OSTREL_CHECK_HR(savedState->Apply(), fn);
  endFrame();
}

void TextureHandler::restoreHostTarget(IDirect3DSurface9* hostTarget) {
  const char* fn = FT("TextureHandler::Render");
  HRESULT hr = device->SetRenderTarget(0, hostTarget);
  OSTREL_CHECK_HR(hr, fn);
  if (SUCCEEDED(hr)) return;
  // Left on the gauge texture, the host would draw its whole frame into it:
  // try the back buffer, where a host draws its frame.
  IDirect3DSurface9* back = nullptr;
  if (SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back)) && back) {
    hr = device->SetRenderTarget(0, back);
    back->Release();
    logText(SUCCEEDED(hr) ? FT("Gauges: render target given back as the back buffer")
                          : FT("Gauges: the host's render target could not be given back"));
  }
}

void TextureHandler::endFrame() {
  lastBoundTexture = nullptr;
  valueContext->endFrame();
  for (gauges::GaugeEffect* e : effects) e->endFrame();
}

}  // namespace ostrel
