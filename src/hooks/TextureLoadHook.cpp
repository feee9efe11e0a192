#include "hooks/TextureLoadHook.h"

#include <cctype>

#include "KVX/PixelFormats.h"
#include "TextureHandler.h"
#include "hooks/DeviceResetHook.h"
#include "hooks/FrameDriver.h"
#include "hooks/GaugeRendererList.h"
#include "hooks/HookState.h"
#include "hooks/RendererLock.h"
#include "panels/HostState.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/Settings.h"

namespace ostrel {

namespace {
thread_local int bypassDepth = 0;
}  // namespace

TextureHookBypass::TextureHookBypass() { ++bypassDepth; }
TextureHookBypass::~TextureHookBypass() { --bypassDepth; }
bool TextureHookBypass::active() { return bypassDepth > 0; }

std::unique_ptr<TextureHandler> createGaugeRenderer(IDirect3DDevice9* fallback, IDirect3DTexture9* target,
                                                    const std::string& definitionPath,
                                                    const std::string& textureFileName) {
  // The host's own device, as the renderer draws in the host's frame.
  IDirect3DDevice9* device = host::pointers().device ? host::pointers().device : fallback;
  const TextureHookBypass bypass;
  return std::make_unique<TextureHandler>(device, target, definitionPath, textureFileName);
}

std::string normalisePath(std::string path) {
  for (char& c : path) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c == '\\') c = '/';
  }
  return path;
}

std::string replacementTextureFor(const std::string& definitionPath) {
  const std::string value = readSettingText(FT("Texture"), FT("Replacement"), "", definitionPath);
  if (value.empty()) return {};
  const auto slash = definitionPath.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string(".") : definitionPath.substr(0, slash);
  return folder + "/" + value;
}

namespace {

// The Windows-free format numbers are Direct3D's own.
constexpr bool same(pixels::Format p, D3DFORMAT d) { return static_cast<std::uint32_t>(p) == static_cast<std::uint32_t>(d); }
static_assert(same(pixels::kR3G3B2, D3DFMT_R3G3B2) && same(pixels::kL16, D3DFMT_L16) &&
              same(pixels::kDXT1, D3DFMT_DXT1) && same(pixels::kX4R4G4B4, D3DFMT_X4R4G4B4) &&
              same(pixels::kA2R10G10B10, D3DFMT_A2R10G10B10) && same(pixels::kA2B10G10R10, D3DFMT_A2B10G10R10));

// The render-target format nearest to what the host asked for.
D3DFORMAT nearestRenderTargetFormat(D3DFORMAT f) {
  return pixels::hasAlpha(static_cast<std::uint32_t>(f)) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

// Whether a texture of `format` may be a render target on this device's
// adapter (D3DFMT_UNKNOWN: the file decides, and the helper library picks a
// format for the usage).
bool renderTargetFormatAllowed(IDirect3DDevice9* device, D3DFORMAT format) {
  if (format == D3DFMT_UNKNOWN || !device) return true;
  IDirect3D9* d3d = nullptr;
  D3DDEVICE_CREATION_PARAMETERS params{};
  D3DDISPLAYMODE mode{};
  bool allowed = true;
  if (SUCCEEDED(device->GetDirect3D(&d3d)) && d3d && SUCCEEDED(device->GetCreationParameters(&params)) &&
      SUCCEEDED(device->GetDisplayMode(0, &mode)))
    allowed = SUCCEEDED(d3d->CheckDeviceFormat(params.AdapterOrdinal, params.DeviceType, mode.Format,
                                               D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, format));
  if (d3d) d3d->Release();
  return allowed;
}

std::string resultText(HRESULT hr) { return std::string(resultName(hr)); }

// A game that makes the same texture again and again (streamed from a
// loader thread, or after every Reset) is told of the first few requests;
// then nothing more of that name until another texture is asked for.
constexpr unsigned kSaidSameRequests = 3;
bool sayRequest(const std::string& key) {
  static std::string last;
  static unsigned repeats = 0;
  const RendererLock lock;
  if (key == last) {
    if (++repeats == kSaidSameRequests)
      logText(std::string(FT("Texture requested again and again: ")) + key +
              FT("; said again when another texture is asked for"));
    return repeats < kSaidSameRequests;
  }
  if (repeats >= kSaidSameRequests)
    logText(last + FT(" was asked for ") + std::to_string(repeats - kSaidSameRequests + 1) + FT(" more time(s)"));
  last = key;
  repeats = 0;
  return true;
}

// The host made a claimed texture (perhaps on a loader thread while the
// frames run): the renderer it had draws into it, one renderer per texture,
// never two; else a new renderer. Whatever loads images (a new renderer, a
// base image for a new size) runs the host's texture function, so it is made
// outside the renderer lock and put in under it.
void bindOrMakeRenderer(IDirect3DDevice9* device, IDirect3DTexture9* made, const std::string& definition,
                        const std::string& passedName, bool say) {
  IDirect3DDevice9* drawsWith = nullptr;  // of the renderer there was, for a base image of the new size
  {
    const RendererLock lock;
    // The renderer holds a default-pool texture: it must let go before the
    // host's device Reset.
    watchDeviceReset(host::pointers().device);
    watchDeviceReset(device);
    IDirect3DDevice9* madeOn = nullptr;
    if (SUCCEEDED(made->GetDevice(&madeOn)) && madeOn) {
      watchDeviceReset(madeOn);
      madeOn->Release();
    }
    TextureHandler* known = findGaugeRenderer(definition, passedName);
    if (known && known->active() && known->baseImageFits(made)) {
      known->bindTarget(made);
      if (say) logText(std::string(FT("Gauges: drawing on the texture made again: ")) + passedName);
      return;
    }
    if (known && known->active()) drawsWith = known->drawingDevice();
  }
  ComRef<IDirect3DTexture9> newBase;
  std::unique_ptr<TextureHandler> fresh;
  if (drawsWith) {
    const TextureHookBypass bypass;
    newBase = TextureHandler::baseImageFor(drawsWith, passedName, made);
  } else {
    fresh = createGaugeRenderer(device, made, definition, passedName);
  }
  // Another thread may have changed the list meanwhile: what is there now decides.
  for (;;) {
    {
      const RendererLock lock;
      TextureHandler* known = findGaugeRenderer(definition, passedName);
      if (known && known->active() && (known->baseImageFits(made) || newBase)) {
        known->bindTarget(made, std::move(newBase));
        if (say) logText(std::string(FT("Gauges: drawing on the texture made again: ")) + passedName);
        return;
      }
      if (fresh) {
        putGaugeRenderer(known, std::move(fresh));
        return;
      }
    }
    fresh = createGaugeRenderer(device, made, definition, passedName);
  }
}

}  // namespace

HRESULT createClaimedTexture(TextureFunction original, IDirect3DDevice9* device, LPCSTR file, UINT width,
                             UINT height, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                             DWORD mipFilter, D3DCOLOR colourKey, D3DXIMAGE_INFO* sourceInfo,
                             PALETTEENTRY* palette, IDirect3DTexture9** made, std::string& why) {
  *made = nullptr;
  auto create = [&](DWORD use, D3DFORMAT f, D3DPOOL p) {
    IDirect3DTexture9* t = nullptr;
    HRESULT hr = original(device, file, width, height, 1, use, f, p, filter, mipFilter, colourKey, sourceInfo,
                          palette, &t);
    // A failed call may leave anything in the out pointer.
    if (FAILED(hr)) t = nullptr;
    if (SUCCEEDED(hr) && !t) hr = E_FAIL;
    *made = t;
    return hr;
  };
  if (pool == D3DPOOL_DEFAULT) {
    const D3DFORMAT first = renderTargetFormatAllowed(device, format) ? format : nearestRenderTargetFormat(format);
    HRESULT hr = create(D3DUSAGE_RENDERTARGET, first, pool);
    if (FAILED(hr) && first != nearestRenderTargetFormat(format)) {
      const HRESULT firstHr = hr;
      hr = create(D3DUSAGE_RENDERTARGET, nearestRenderTargetFormat(format), pool);
      if (SUCCEEDED(hr))
        logText(std::string(FT("Gauges: the texture could not be a render target in the format asked for (")) +
                resultText(firstHr) + FT("), made in the nearest one: ") + file);
    }
    if (FAILED(hr)) why = std::string(FT("no render target could be made (")) + resultText(hr) + FT(")");
    return hr;
  }
  if (pool == D3DPOOL_MANAGED) {
    // Drawn on a render target of the renderer's own and written in, in a
    // format that target can have.
    const D3DFORMAT f = format != D3DFMT_UNKNOWN && renderTargetFormatAllowed(device, format)
                            ? format
                            : nearestRenderTargetFormat(format);
    const HRESULT hr = create(usage & ~static_cast<DWORD>(D3DUSAGE_RENDERTARGET), f, pool);
    if (FAILED(hr)) why = std::string(FT("the managed texture could not be made (")) + resultText(hr) + FT(")");
    return hr;
  }
  why = FT("textures of this pool cannot be drawn on");
  return D3DERR_INVALIDCALL;
}

HRESULT __stdcall TextureLoadHook(IDirect3DDevice9* device, LPCSTR fileName, UINT width, UINT height,
                                  UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  DWORD filter, DWORD mipFilter, D3DCOLOR colourKey,
                                  D3DXIMAGE_INFO* sourceInfo, PALETTEENTRY* palette,
                                  IDirect3DTexture9** texture) {
  auto original = reinterpret_cast<TextureFunction>(hookState().textureLoadTrampoline);
  if (!original) return E_FAIL;
  if (TextureHookBypass::active())
    return original(device, fileName, width, height, mipLevels, usage, format, pool, filter, mipFilter,
                    colourKey, sourceInfo, palette, texture);
  // Everything below, the renderer's image loads included, runs as the host's
  // one call.
  const TextureHookBypass bypass;
  const std::string* definition = nullptr;
  std::string passedName;
  bool say = true;
  try {
    const std::string key = normalisePath(fileName ? fileName : "");
    const auto& map = hookState().gaugeTextureMap;
    const auto found = map.find(key);
    say = sayRequest(key);
    if (say) logText(std::string(FT("Texture requested: ")) + key);
    if (gaugesEnabled && found != map.end()) {
      definition = &found->second;
      if (say) logText(FT("Texture is claimed by a gauge definition"));
      const std::string replacement = replacementTextureFor(found->second);
      passedName = replacement.empty() ? std::string(fileName) : replacement;
      if (say) {
        logText(FT("Creating it as a render target from:"));
        logText(passedName);
      }
    }
  } catch (...) {
    definition = nullptr;
  }
  if (!definition || !texture)
    return original(device, fileName, width, height, mipLevels, usage, format, pool, filter, mipFilter,
                    colourKey, sourceInfo, palette, texture);

  // The renderer draws with the game's device: the one the game has now.
  try {
    const RendererLock lock;
    followGameDevice();
  } catch (...) {
  }
  IDirect3DTexture9* made = nullptr;
  std::string why;
  HRESULT result = createClaimedTexture(original, device, passedName.c_str(), width, height, usage, format, pool,
                                        filter, mipFilter, colourKey, sourceInfo, palette, &made, why);
  if (FAILED(result) || !made) {
    // The dashboard without gauges, never no dashboard: the host's texture
    // exactly as it asked for it.
    logText(std::string(FT("Gauges: no gauges for ")) + passedName + FT(": ") + why +
            FT("; the texture is made as the game asked"));
    return original(device, fileName, width, height, mipLevels, usage, format, pool, filter, mipFilter, colourKey,
                    sourceInfo, palette, texture);
  }
  *texture = made;
  try {
    if (say) logText(std::string(FT("Gauge texture created, levels: ")) + std::to_string(made->GetLevelCount()));
    bindOrMakeRenderer(device, made, *definition, passedName, say);
  } catch (...) {
    logText(FT("Gauge renderer could not be created"));
  }
  return result;
}

}  // namespace ostrel
