#include "hooks/TextureLoadHook.h"

#include <cctype>

#include "TextureHandler.h"
#include "hooks/DeviceResetHook.h"
#include "hooks/HookState.h"
#include "panels/HostState.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/Settings.h"

namespace ostrel {

namespace {
using TextureFunction = HRESULT(__stdcall*)(IDirect3DDevice9*, LPCSTR, UINT, UINT, UINT, DWORD, D3DFORMAT,
                                            D3DPOOL, DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*,
                                            PALETTEENTRY*, IDirect3DTexture9**);
thread_local int bypassDepth = 0;
}  // namespace

TextureHookBypass::TextureHookBypass() { ++bypassDepth; }
TextureHookBypass::~TextureHookBypass() { --bypassDepth; }
bool TextureHookBypass::active() { return bypassDepth > 0; }

TextureHandler* createGaugeRenderer(IDirect3DDevice9* fallback, IDirect3DTexture9* target,
                                    const std::string& definitionPath, const std::string& textureFileName) {
  // The host's own device, as the renderer draws in the host's frame.
  IDirect3DDevice9* device = host::pointers().device ? host::pointers().device : fallback;
  const TextureHookBypass bypass;
  return new TextureHandler(device, target, definitionPath, textureFileName);
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
  try {
    const std::string key = normalisePath(fileName ? fileName : "");
    const auto& map = hookState().gaugeTextureMap;
    const auto found = map.find(key);
    logText(std::string(FT("Texture requested: ")) + key);
    if (gaugesEnabled && found != map.end()) {
      definition = &found->second;
      logText(FT("Texture is claimed by a gauge definition"));
      const std::string replacement = replacementTextureFor(found->second);
      passedName = replacement.empty() ? std::string(fileName) : replacement;
      logText(FT("Creating it as a render target from:"));
      logText(passedName);
    }
  } catch (...) {
    definition = nullptr;
  }
  if (!definition)
    return original(device, fileName, width, height, mipLevels, usage, format, pool, filter, mipFilter,
                    colourKey, sourceInfo, palette, texture);

  const HRESULT result = original(device, passedName.c_str(), width, height, 1, D3DUSAGE_RENDERTARGET, format,
                                  pool, filter, mipFilter, colourKey, sourceInfo, palette, texture);
  try {
    // A failed call may leave anything in the out pointer.
    if (SUCCEEDED(result) && texture && *texture) {
      logText(std::string(FT("Gauge texture created, levels: ")) + std::to_string((*texture)->GetLevelCount()));
      // The renderer holds a default-pool texture: it must let go before the
      // host's device Reset.
      watchDeviceReset(host::pointers().device);
      watchDeviceReset(device);
      auto* renderer = createGaugeRenderer(device, *texture, *definition, passedName);
      try {
        hookState().gaugeRenderers.push_back(renderer);
      } catch (...) {
        delete renderer;
        throw;
      }
    } else {
      logText(FT("Gauge texture was not created; no gauges for it"));
    }
  } catch (...) {
    logText(FT("Gauge renderer could not be created"));
  }
  return result;
}

}  // namespace ostrel
