#include "TextureHandler.h"

#include <algorithm>
#include <cstring>

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

namespace {

// A base image exactly the size and format of the surface drawn on, as
// UpdateSurface copies only between identical ones.
HRESULT loadBaseImageFor(IDirect3DDevice9* device, const std::string& file, const D3DSURFACE_DESC& surface,
                         IDirect3DTexture9** image, std::string* loader) {
  return loadGaugeBaseImage(device, file, hookState().textureLoadTrampoline, surface, image, loader);
}

// Bytes of one pixel of the formats a managed host texture is read back in;
// 0 for the others (block-compressed, floating point...).
UINT bytesPerPixel(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_A2B10G10R10:
      return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

TextureHandler::TextureHandler(IDirect3DDevice9* dev, IDirect3DTexture9* targetTexture,
                               const std::string& definition, const std::string& fileName)
    : BasicHUD(std::string(), NoLoad{}),
      textureFileName(fileName),
      device(dev),
      lastRenderTime(steadyNow()) {
  try {
    // Known from the start, also to a renderer that stays inert: the
    // texture hook finds it by these when the host makes its texture again.
    definitionPath = definition;
    folder = gauges::folderOf(definition);
    D3DSURFACE_DESC desc{};
    if (!device || !targetTexture || FAILED(targetTexture->GetLevelDesc(0, &desc))) {
      logText(std::string(FT("Gauges: no device or target texture for ")) + definition);
      return;
    }
    if (!loadBaseImage(desc)) return;

    name = FT("GaugeRenderer");
    loadLayout();
    if (!takeTarget(targetTexture, desc)) {
      releaseAll();
      return;
    }
    logText(std::string(FT("Gauges: loading gauge set ")) + definition);
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
  releaseCom(ownTarget);
  releaseCom(readback);
  releaseCom(target);
  targetDevice = nullptr;
}

bool TextureHandler::loadBaseImage(const D3DSURFACE_DESC& surface) {
  std::string loader;
  IDirect3DTexture9* image = nullptr;
  const HRESULT hr = loadBaseImageFor(device, textureFileName, surface, &image, &loader);
  if (FAILED(hr) || !image) {
    if (image) image->Release();
    logText(std::string(FT("Gauges: base image could not be loaded by ")) + loader + FT(" (") +
            resultName(hr) + FT("): ") + textureFileName);
    return false;
  }
  D3DSURFACE_DESC desc{};
  if (FAILED(image->GetLevelDesc(0, &desc))) {
    image->Release();
    logText(std::string(FT("Gauges: base image could not be read: ")) + textureFileName);
    return false;
  }
  releaseCom(baseImage);
  baseImage = image;
  baseDesc_ = desc;
  baseWidth = static_cast<float>(desc.Width);
  baseHeight = static_cast<float>(desc.Height);
  logText(std::string(FT("Gauges: base image loaded: ")) + textureFileName);
  return true;
}

bool TextureHandler::takeTarget(IDirect3DTexture9* texture, const D3DSURFACE_DESC& desc) {
  const bool managed = desc.Pool == D3DPOOL_MANAGED;
  if (!managed && !(desc.Pool == D3DPOOL_DEFAULT && (desc.Usage & D3DUSAGE_RENDERTARGET))) {
    logText(std::string(FT("Gauges: the texture can be neither drawn on nor written: ")) + textureFileName);
    return false;
  }
  if (managed && bytesPerPixel(desc.Format) == 0) {
    logText(std::string(FT("Gauges: a managed texture of this format cannot be written: ")) + textureFileName);
    return false;
  }
  copyToTarget = managed;
  target = texture;
  target->AddRef();
  // Not held: the texture holds its device.
  IDirect3DDevice9* made = nullptr;
  if (SUCCEEDED(target->GetDevice(&made)) && made) {
    targetDevice = made;
    made->Release();
  }
  return true;
}

bool TextureHandler::holdsDeviceObjects() const {
  return savedState || ownTarget || (target && !copyToTarget);
}

void TextureHandler::releaseDeviceObjects() {
  releaseCom(savedState);
  releaseCom(ownTarget);
  ownTargetFailed_ = false;
  // A managed texture survives a Reset; the host's render target must not.
  if (!copyToTarget) releaseCom(target);
}

void TextureHandler::bindTarget(IDirect3DTexture9* texture) {
  if (!texture || texture == target) return;
  try {
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(0, &desc))) return;
    releaseDeviceObjects();
    releaseCom(target);
    targetDevice = nullptr;
    releaseCom(readback);
    copyFailed_ = false;
    if (!active()) return;
    // The host may make it again at another size or in another format.
    if (desc.Format != baseDesc_.Format || desc.Width != baseDesc_.Width || desc.Height != baseDesc_.Height) {
      if (!loadBaseImage(desc)) {
        releaseCom(baseImage);
        return;
      }
    }
    takeTarget(texture, desc);
  } catch (...) {
    logText(FT("Gauges: the texture made again could not be bound"));
  }
}

IDirect3DSurface9* TextureHandler::drawSurface() {
  const char* fn = FT("TextureHandler::Render");
  IDirect3DSurface9* surface = nullptr;
  if (!copyToTarget) {
    const HRESULT hr = target->GetSurfaceLevel(0, &surface);
    OSTREL_CHECK_HR(hr, fn);
    return SUCCEEDED(hr) ? surface : nullptr;
  }
  if (!ownTarget) {
    if (ownTargetFailed_) return nullptr;
    const HRESULT hr = device->CreateTexture(baseDesc_.Width, baseDesc_.Height, 1, D3DUSAGE_RENDERTARGET,
                                             baseDesc_.Format, D3DPOOL_DEFAULT, &ownTarget, nullptr);
    if (FAILED(hr) || !ownTarget) {
      ownTarget = nullptr;
      ownTargetFailed_ = true;
      logText(std::string(FT("Gauges: no render target for the managed texture (")) + resultName(hr) + FT("): ") +
              textureFileName);
      return nullptr;
    }
    if (FAILED(ownTarget->GetSurfaceLevel(0, &surface))) {
      releaseCom(ownTarget);
      return nullptr;
    }
    // A new target holds nothing yet: all of the base image, once, so that
    // refresh rectangles only ever restore their own part.
    IDirect3DSurface9* source = nullptr;
    if (SUCCEEDED(baseImage->GetSurfaceLevel(0, &source))) {
      OSTREL_CHECK_HR(device->UpdateSurface(source, nullptr, surface, nullptr), fn);
      source->Release();
    }
    return surface;
  }
  const HRESULT hr = ownTarget->GetSurfaceLevel(0, &surface);
  OSTREL_CHECK_HR(hr, fn);
  return SUCCEEDED(hr) ? surface : nullptr;
}

void TextureHandler::copyIntoTarget(IDirect3DSurface9* drawn) {
  if (copyFailed_) return;
  auto failed = [this](const char* step, HRESULT hr) {
    copyFailed_ = true;
    logText(std::string(FT("Gauges: the managed texture could not be written (")) + step + FT(", ") +
            resultName(hr) + FT("); the gauges stop for ") + textureFileName);
  };
  HRESULT hr = S_OK;
  if (!readback) {
    hr = device->CreateOffscreenPlainSurface(baseDesc_.Width, baseDesc_.Height, baseDesc_.Format,
                                             D3DPOOL_SYSTEMMEM, &readback, nullptr);
    if (FAILED(hr) || !readback) {
      readback = nullptr;
      return failed(FT("system-memory surface"), hr);
    }
  }
  hr = device->GetRenderTargetData(drawn, readback);
  if (FAILED(hr)) return failed(FT("read back"), hr);
  D3DLOCKED_RECT from{}, to{};
  hr = readback->LockRect(&from, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) return failed(FT("lock"), hr);
  hr = target->LockRect(0, &to, nullptr, 0);
  if (FAILED(hr)) {
    readback->UnlockRect();
    return failed(FT("lock"), hr);
  }
  const std::size_t row = static_cast<std::size_t>(baseDesc_.Width) * bytesPerPixel(baseDesc_.Format);
  for (UINT y = 0; y < baseDesc_.Height; ++y)
    std::memcpy(static_cast<BYTE*>(to.pBits) + static_cast<std::size_t>(y) * to.Pitch,
                static_cast<const BYTE*>(from.pBits) + static_cast<std::size_t>(y) * from.Pitch, row);
  target->UnlockRect(0);
  readback->UnlockRect();
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
  gaugeSurface = drawSurface();
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
  if (onTarget && copyToTarget) copyIntoTarget(gaugeSurface);
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
