#include "TextureHandler.h"

#include <algorithm>
#include <cstring>

#include "KVX/ComRelease.h"
#include "KVX/D3D9Helpers.h"
#include "KVX/FilledTexture.h"
#include "KVX/PixelFormats.h"
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

}  // namespace

TextureHandler::TextureHandler(IDirect3DDevice9* dev, IDirect3DTexture9* targetTexture,
                               const std::string& definition, const std::string& fileName)
    : textureFileName_(fileName),
      device_(dev),
      lastRenderTime_(steadyNow()) {
  try {
    // Known from the start, also to a renderer that stays inert: the
    // texture hook finds it by these when the host makes its texture again.
    definitionPath_ = definition;
    D3DSURFACE_DESC desc{};
    if (!device_ || !targetTexture || FAILED(targetTexture->GetLevelDesc(0, &desc))) {
      logText(std::string(FT("Gauges: no device or target texture for ")) + definition);
      return;
    }
    if (!loadBaseImage(desc)) return;

    if (!takeTarget(targetTexture, desc)) {
      releaseAll();
      return;
    }
    logText(std::string(FT("Gauges: loading gauge set ")) + definition);
    loadGaugeSet();
    frameInterval_ = refreshRate != 0 ? 1.0f / static_cast<float>(refreshRate) : 0.0f;
  } catch (...) {
    // Out of memory while loading: stay inert rather than half-built.
    logText(FT("Gauges: gauge set could not be loaded"));
    releaseAll();
  }
}

TextureHandler::~TextureHandler() { releaseAll(); }

void TextureHandler::releaseAll() {
  savedState_.reset();
  baseImage_.reset();
  // The elements point into the fonts and effects: they go first.
  elements_.clear();
  valueContext_.reset();
  fonts_.clear();
  effects_.clear();
  refreshRects_.clear();
  ownTarget_.reset();
  readback_.reset();
  target_.reset();
  targetDevice_ = nullptr;
}

void TextureHandler::restartEffects() {
  for (const auto& e : effects_) e->timer = 0.0f;
}

TextureHandler::LoadedSet TextureHandler::loadedSet() const {
  return {elements_.size(), effects_.size(), fonts_.size(), refreshRects_.size(), setOption_};
}

ComRef<IDirect3DTexture9> TextureHandler::makeBaseImage(IDirect3DDevice9* device, const std::string& file,
                                                        const D3DSURFACE_DESC& surface) {
  std::string loader;
  IDirect3DTexture9* image = nullptr;
  const HRESULT hr = loadBaseImageFor(device, file, surface, &image, &loader);
  ComRef<IDirect3DTexture9> made;
  if (FAILED(hr) || !image) {
    if (image) image->Release();
    logText(std::string(FT("Gauges: base image could not be loaded by ")) + loader + FT(" (") +
            resultName(hr) + FT("): ") + file);
    return made;
  }
  made.adopt(image);
  return made;
}

bool TextureHandler::loadBaseImage(const D3DSURFACE_DESC& surface) {
  ComRef<IDirect3DTexture9> image = makeBaseImage(device_, textureFileName_, surface);
  if (!image) return false;
  D3DSURFACE_DESC desc{};
  if (FAILED(image->GetLevelDesc(0, &desc))) {
    logText(std::string(FT("Gauges: base image could not be read: ")) + textureFileName_);
    return false;
  }
  baseImage_ = std::move(image);
  baseDesc_ = desc;
  logText(std::string(FT("Gauges: base image loaded: ")) + textureFileName_);
  return true;
}

bool TextureHandler::baseImageFits(IDirect3DTexture9* texture) const {
  D3DSURFACE_DESC desc{};
  if (!texture || FAILED(texture->GetLevelDesc(0, &desc))) return true;  // nothing to load for it
  return desc.Format == baseDesc_.Format && desc.Width == baseDesc_.Width && desc.Height == baseDesc_.Height;
}

ComRef<IDirect3DTexture9> TextureHandler::baseImageFor(IDirect3DDevice9* device, const std::string& file,
                                                       IDirect3DTexture9* texture) {
  D3DSURFACE_DESC desc{};
  if (!device || !texture || FAILED(texture->GetLevelDesc(0, &desc))) return {};
  return makeBaseImage(device, file, desc);
}

TextureHandler::RemakeSpec TextureHandler::remakeSpec(IDirect3DDevice9* device) const {
  return {device ? device : device_, ComRef<IDirect3DTexture9>::share(target_.get()), definitionPath_,
          textureFileName_};
}

bool TextureHandler::takeTarget(IDirect3DTexture9* texture, const D3DSURFACE_DESC& desc) {
  const bool managed = desc.Pool == D3DPOOL_MANAGED;
  if (!managed && !(desc.Pool == D3DPOOL_DEFAULT && (desc.Usage & D3DUSAGE_RENDERTARGET))) {
    logText(std::string(FT("Gauges: the texture can be neither drawn on nor written: ")) + textureFileName_);
    return false;
  }
  // Its rows are copied as they are: any format whose texel size is known.
  if (managed && pixels::bytesPerTexel(desc.Format) == 0) {
    logText(std::string(FT("Gauges: a managed texture of this format cannot be written: ")) + textureFileName_);
    return false;
  }
  copyToTarget_ = managed;
  target_ = ComRef<IDirect3DTexture9>::share(texture);
  // Not held: the texture holds its device.
  IDirect3DDevice9* made = nullptr;
  if (SUCCEEDED(target_->GetDevice(&made)) && made) {
    targetDevice_ = made;
    made->Release();
  }
  keepsObjectsOverReset_ = isExDevice(targetDevice_) || isExDevice(device_);
  return true;
}

bool TextureHandler::holdsDeviceObjects() const {
  return !keepsObjectsOverReset_ && (savedState_ || ownTarget_ || (target_ && !copyToTarget_));
}

void TextureHandler::releaseDeviceObjects() {
  if (keepsObjectsOverReset_) return;
  savedState_.reset();
  ownTarget_.reset();
  ownTargetFailed_ = false;
  // A managed texture survives a Reset; the host's render target must not.
  if (!copyToTarget_) target_.reset();
}

void TextureHandler::bindTarget(IDirect3DTexture9* texture, ComRef<IDirect3DTexture9> newBase) {
  if (!texture || texture == target_.get()) return;
  try {
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(0, &desc))) return;
    // Everything of the texture before goes, an extended device's too.
    keepsObjectsOverReset_ = false;
    releaseDeviceObjects();
    target_.reset();
    targetDevice_ = nullptr;
    readback_.reset();
    copyFailed_ = false;
    if (!active()) return;
    // The host may make it again at another size or in another format.
    if (!baseImageFits(texture)) {
      D3DSURFACE_DESC made{};
      if (!newBase || FAILED(newBase->GetLevelDesc(0, &made)) || made.Format != desc.Format ||
          made.Width != desc.Width || made.Height != desc.Height) {
        baseImage_.reset();
        return;
      }
      baseImage_ = std::move(newBase);
      baseDesc_ = made;
      logText(std::string(FT("Gauges: base image loaded: ")) + textureFileName_);
    }
    takeTarget(texture, desc);
  } catch (...) {
    logText(FT("Gauges: the texture made again could not be bound"));
  }
}

IDirect3DSurface9* TextureHandler::unbindDepthStencil(bool& stillBound) {
  IDirect3DSurface9* depth = nullptr;
  stillBound = false;
  // D3DERR_NOTFOUND: the host draws without one.
  if (FAILED(device_->GetDepthStencilSurface(&depth)) || !depth) return nullptr;
  if (FAILED(device_->SetDepthStencilSurface(nullptr))) {
    depth->Release();
    stillBound = true;
    return nullptr;
  }
  return depth;
}

void TextureHandler::rebindDepthStencil(IDirect3DSurface9* depth) {
  if (!depth) return;
  OSTREL_CHECK_HR(device_->SetDepthStencilSurface(depth), FT("TextureHandler::Render"));
  depth->Release();
}

IDirect3DSurface9* TextureHandler::drawSurface() {
  const char* fn = FT("TextureHandler::Render");
  IDirect3DSurface9* surface = nullptr;
  if (!copyToTarget_) {
    const HRESULT hr = target_->GetSurfaceLevel(0, &surface);
    OSTREL_CHECK_HR(hr, fn);
    return SUCCEEDED(hr) ? surface : nullptr;
  }
  if (!ownTarget_) {
    if (ownTargetFailed_) return nullptr;
    const HRESULT hr = device_->CreateTexture(baseDesc_.Width, baseDesc_.Height, 1, D3DUSAGE_RENDERTARGET,
                                              baseDesc_.Format, D3DPOOL_DEFAULT, ownTarget_.out(), nullptr);
    if (FAILED(hr) || !ownTarget_) {
      ownTarget_.forgetFailed();
      ownTargetFailed_ = true;
      logText(std::string(FT("Gauges: no render target for the managed texture (")) + resultName(hr) + FT("): ") +
              textureFileName_);
      return nullptr;
    }
    if (FAILED(ownTarget_->GetSurfaceLevel(0, &surface))) {
      ownTarget_.reset();
      return nullptr;
    }
    // A new target holds nothing yet: all of the base image, once, so that
    // refresh rectangles only ever restore their own part.
    IDirect3DSurface9* source = nullptr;
    if (SUCCEEDED(baseImage_->GetSurfaceLevel(0, &source))) {
      OSTREL_CHECK_HR(device_->UpdateSurface(source, nullptr, surface, nullptr), fn);
      source->Release();
    }
    return surface;
  }
  const HRESULT hr = ownTarget_->GetSurfaceLevel(0, &surface);
  OSTREL_CHECK_HR(hr, fn);
  return SUCCEEDED(hr) ? surface : nullptr;
}

void TextureHandler::copyIntoTarget(IDirect3DSurface9* drawn) {
  if (copyFailed_) return;
  auto failed = [this](const char* step, HRESULT hr) {
    copyFailed_ = true;
    logText(std::string(FT("Gauges: the managed texture could not be written (")) + step + FT(", ") +
            resultName(hr) + FT("); the gauges stop for ") + textureFileName_);
  };
  HRESULT hr = S_OK;
  if (!readback_) {
    hr = device_->CreateOffscreenPlainSurface(baseDesc_.Width, baseDesc_.Height, baseDesc_.Format,
                                              D3DPOOL_SYSTEMMEM, readback_.out(), nullptr);
    if (FAILED(hr) || !readback_) {
      readback_.forgetFailed();
      return failed(FT("system-memory surface"), hr);
    }
  }
  hr = device_->GetRenderTargetData(drawn, readback_.get());
  if (FAILED(hr)) return failed(FT("read back"), hr);
  D3DLOCKED_RECT from{}, to{};
  hr = readback_->LockRect(&from, nullptr, D3DLOCK_READONLY);
  if (FAILED(hr)) return failed(FT("lock"), hr);
  hr = target_->LockRect(0, &to, nullptr, 0);
  if (FAILED(hr)) {
    readback_->UnlockRect();
    return failed(FT("lock"), hr);
  }
  const std::size_t row = static_cast<std::size_t>(baseDesc_.Width) * pixels::bytesPerTexel(baseDesc_.Format);
  for (UINT y = 0; y < baseDesc_.Height; ++y)
    std::memcpy(static_cast<BYTE*>(to.pBits) + static_cast<std::size_t>(y) * to.Pitch,
                static_cast<const BYTE*>(from.pBits) + static_cast<std::size_t>(y) * from.Pitch, row);
  target_->UnlockRect(0);
  readback_->UnlockRect();
}

void TextureHandler::SetUpRenderStates(bool depthBound) {
  const char* fn = FT("TextureHandler::SetUpRenderStates");
  // Only the states that change a pixel of our pre-transformed quads: with
  // depth off, the depth function and depth writes do nothing; lighting and
  // specular never reach pre-transformed vertices; the alpha reference only
  // counts with the alpha test on. Without a depth-stencil surface bound
  // (the host's is taken off while the gauges draw) there is no depth or
  // stencil test to switch off. The state block gives the host back
  // whatever it had.
  if (depthBound) {
    OSTREL_CHECK_HR(device_->SetRenderState(D3DRS_ZENABLE, FALSE), fn);
    OSTREL_CHECK_HR(device_->SetRenderState(D3DRS_STENCILENABLE, FALSE), fn);
  }
  OSTREL_CHECK_HR(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), fn);
  OSTREL_CHECK_HR(device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE), fn);
  OSTREL_CHECK_HR(device_->SetRenderState(D3DRS_FOGENABLE, FALSE), fn);
  OSTREL_CHECK_HR(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), fn);
  OSTREL_CHECK_HR(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), fn);
}

void TextureHandler::restoreBaseImage(IDirect3DSurface9* targetSurface) {
  IDirect3DSurface9* source = nullptr;
  if (!targetSurface || FAILED(baseImage_->GetSurfaceLevel(0, &source))) {
    logText(FT("Gauges: base image surface unavailable; texture not restored"));
    return;
  }
  auto copy = [&](const RECT* from, const POINT* to) {
    const HRESULT hr = device_->UpdateSurface(source, from, targetSurface, to);
    if (FAILED(hr))
      logText(std::string(FT("Gauges: base image copy failed: ")) + resultName(hr) + FT(", ") +
              resultDescription(hr));
  };
  if (refreshRects_.empty()) {
    copy(nullptr, nullptr);
  } else {
    // Clipped to the image: an empty or outside rectangle has nothing to copy,
    // and handing it to the device would only fail (and log) every frame.
    const LONG w = static_cast<LONG>(baseDesc_.Width), h = static_cast<LONG>(baseDesc_.Height);
    for (const RefreshRect& r : refreshRects_) {
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
  for (const auto& e : elements_) e->Draw(device_, *valueContext_, frameTime);
}

void TextureHandler::Render() {
  float dt = 0.0f;
  try {
    if (!baseImage_ || !target_ || !device_ || !valueContext_) return;
    const auto now = steadyNow();
    dt = static_cast<float>(secondsBetween(lastRenderTime_, now));
    if (dt < frameInterval_) return;
    lastRenderTime_ = now;
    for (const auto& e : effects_)
      e->update(dt, gauges::testCondition(*valueContext_, e->trigger, e->threshold));
  } catch (...) {
    return;
  }

  const char* fn = FT("TextureHandler::Render");
  // One state block for the renderer's life, made on the first frame (a new
  // block already holds the device's current state) and captured again on
  // the others: creating a whole-device block is among the dearest calls.
  HRESULT hr = S_OK;
  if (savedState_) {
    hr = savedState_->Capture();
  } else {
    hr = device_->CreateStateBlock(D3DSBT_ALL, savedState_.out());
    if (FAILED(hr)) savedState_.forgetFailed();
  }
  OSTREL_CHECK_HR(hr, fn);
  // Without it the host's states could not be given back: skip this frame's
  // drawing (the texture keeps its last picture) rather than leave them changed.
  if (FAILED(hr) || !savedState_) {
    endFrame();
    return;
  }

  IDirect3DSurface9* hostTarget = nullptr;
  IDirect3DSurface9* gaugeSurface = nullptr;
  hr = device_->GetRenderTarget(0, &hostTarget);
  OSTREL_CHECK_HR(hr, fn);
  if (FAILED(hr)) hostTarget = nullptr;
  gaugeSurface = drawSurface();
  bool onTarget = false;
  IDirect3DSurface9* hostDepth = nullptr;
  bool depthBound = false;
  // Without the host's own target there would be nothing to switch back to.
  if (gaugeSurface && hostTarget) {
    hr = device_->SetRenderTarget(0, gaugeSurface);
    OSTREL_CHECK_HR(hr, fn);
    onTarget = SUCCEEDED(hr);
    if (onTarget) hostDepth = unbindDepthStencil(depthBound);
  }

  // Drawing anywhere but the gauge texture would paint over the host's frame.
  if (onTarget) {
    try {
      // Every element draws pre-transformed quads, which no transform reaches:
      // the renderer sets none.
      restoreBaseImage(gaugeSurface);
      OSTREL_CHECK_HR(device_->SetPixelShader(nullptr), fn);
      OSTREL_CHECK_HR(device_->SetTexture(1, nullptr), fn);
      SetUpRenderStates(depthBound);
      SetupVertex2DRenderState(device_);
      // The host drew (with its own texture and vertex format) since our
      // last pass: the first quad binds both again.
      lastBoundTexture = nullptr;
      drawElements(dt);
    } catch (...) {
      logText(FT("Gauges: frame abandoned"));
    }
  }

  // The host gets its render target and every state back, whatever happened.
  if (onTarget) {
    restoreHostTarget(hostTarget);
    rebindDepthStencil(hostDepth);
  }
  if (onTarget && copyToTarget_) copyIntoTarget(gaugeSurface);
  releaseCom(gaugeSurface);
  releaseCom(hostTarget);
  OSTREL_CHECK_HR(savedState_->Apply(), fn);
  endFrame();
}

void TextureHandler::restoreHostTarget(IDirect3DSurface9* hostTarget) {
  const char* fn = FT("TextureHandler::Render");
  HRESULT hr = device_->SetRenderTarget(0, hostTarget);
  OSTREL_CHECK_HR(hr, fn);
  if (SUCCEEDED(hr)) return;
  // Left on the gauge texture, the host would draw its whole frame into it:
  // try the back buffer, where a host draws its frame.
  IDirect3DSurface9* back = nullptr;
  if (SUCCEEDED(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back)) && back) {
    hr = device_->SetRenderTarget(0, back);
    back->Release();
    logText(SUCCEEDED(hr) ? FT("Gauges: render target given back as the back buffer")
                          : FT("Gauges: the host's render target could not be given back"));
  }
}

void TextureHandler::endFrame() {
  lastBoundTexture = nullptr;
  valueContext_->endFrame();
  for (const auto& e : effects_) e->endFrame();
}

}  // namespace ostrel
