#include "panels/CarDamageHUD.h"

#include <algorithm>
#include <iterator>

#include "KVX/ComRelease.h"
#include "panels/HostDamage.h"
#include "panels/HostState.h"
#include "panels/PartFileNames.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"
#include "plugin/Settings.h"
#include "plugin/WideText.h"

namespace ostrel {
namespace {

constexpr float kTickSeconds = 0.5f;
constexpr float kShowSeconds = 10.0f;

}  // namespace

std::uint32_t damageTint(std::int32_t level, bool blinkOn) {
  switch (level) {
    case 1: return 0xFF00FF00u;
    case 2: return 0xFFFFFF00u;
    case 3: return 0xFFFF0000u;
    case 4: return blinkOn ? 0xFFFF0000u : 0xFF000000u;
    default: return 0xFFFFFFFFu;
  }
}

CarDamageHUD::CarDamageHUD() : TexturedHUD(FT("carDamageHUD"), NoLoad{}) {
  try {
    reload();
  } catch (...) {
    // A panel that could not read its settings stays disabled.
    enabled = 0;
  }
}

CarDamageHUD::~CarDamageHUD() { releaseImages(); }

void CarDamageHUD::releaseImages() {
  releaseTextures();
  releaseCom(atlas);
  atlasLayout = AtlasLayout{};
  lastBoundTexture = nullptr;  // a new texture may get a released one's address
}

void CarDamageHUD::loadImages(IDirect3DDevice9* device) {
  try {
    if (loadAtlas(device)) return;
  } catch (...) {
    // Out of memory while packing: the images one by one need less at once.
    releaseImages();
  }
  loadTextures(device, textureSet, [](int i) { return std::string(partFileName(i)); }, kSlotCount);
}

bool CarDamageHUD::loadAtlas(IDirect3DDevice9* device) {
  const char* sep = FT("\\");
  const std::string folder = pluginFolder() + sep + name + sep + textureSet + sep;
  std::vector<AtlasImage> images(kSlotCount);
  std::vector<AtlasSize> boxes(kSlotCount);
  bool loaded[kSlotCount]{};
  for (int i = 0; i < kSlotCount; ++i) {
    const std::wstring path = widen(folder + partFileName(i));
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    if (FAILED(decodeAtlasImage(path, images[i]))) continue;
    loaded[i] = true;
    const TexelBounds& v = images[i].visible;
    if (!v.empty()) boxes[i] = {v.right - v.left, v.bottom - v.top};
  }
  // No image at all: nothing to pack, and nothing to load one by one either.
  if (std::none_of(std::begin(loaded), std::end(loaded), [](bool b) { return b; })) return true;
  std::int32_t maxWidth = atlasSideLimit, maxHeight = atlasSideLimit;
  if (atlasSideLimit <= 0) {
    D3DCAPS9 caps{};
    if (FAILED(device->GetDeviceCaps(&caps))) return false;
    maxWidth = static_cast<std::int32_t>(caps.MaxTextureWidth);
    maxHeight = static_cast<std::int32_t>(caps.MaxTextureHeight);
  }
  const std::optional<AtlasLayout> layout = packAtlas(boxes, maxWidth, maxHeight, kAtlasPadding);
  if (!layout) {
    logText(std::string(FT("carDamageHUD: the images of ")) + folder + FT(" do not fit one texture of ") +
            std::to_string(maxWidth) + FT(" x ") + std::to_string(maxHeight) +
            FT(" texels; drawing them one by one"));
    return false;
  }
  IDirect3DTexture9* texture = nullptr;
  const HRESULT hr = createAtlasTexture(device, images, *layout, &texture);
  if (FAILED(hr)) {
    logText(std::string(FT("carDamageHUD: no texture for the images of ")) + folder + FT(" (") +
            resultName(hr) + FT("); loading them one by one"));
    return false;
  }
  atlas = texture;
  atlasLayout = *layout;
  for (int i = 0; i < kSlotCount; ++i) {
    if (!loaded[i]) continue;
    TexturedRect& slot = textures[i];
    slot.texture = atlas;
    atlas->AddRef();
    slot.width = images[i].width;
    slot.height = images[i].height;
    slot.visible = images[i].visible;
    logText(std::string(FT("Loaded texture ")) + folder + partFileName(i));
  }
  return true;
}

void CarDamageHUD::reload() {
  loadLayout();
  loadShowFlags();
  const std::string file = settingsPath();
  const std::string section = FT("HUD");
  const std::string wanted = readSettingText(section, FT("TextureSet"), "", file);
  if (wanted != textureSet) {
    releaseImages();
    if (wanted.empty()) {
      textureSet.clear();
      logText(std::string(FT("carDamageHUD: no TextureSet configured, the diagram stays empty (")) + file +
              ")");
      return;  // the panel keeps nothing, Autohide included, until a set is named
    } else if (IDirect3DDevice9* device = host::pointers().device) {
      textureSet = wanted;
      loadImages(device);
    } else {
      // Without the host's device nothing can load; leave the name unset so
      // the next reload tries again instead of keeping an empty diagram.
      textureSet.clear();
      logText(FT("carDamageHUD: no Direct3D device, images not loaded"));
    }
  }
  autohide = readSettingInt(section, FT("Autohide"), 0, file) != 0;
}

void CarDamageHUD::deviceChanged() {
  if (textureSet.empty()) return;
  releaseImages();
  textureSet.clear();
  reload();
}

void CarDamageHUD::classifyLoadedSlots() {
  const DamageWords damage = hostDamageWords();
  if (!damage.words) return;
  for (int i = 0; i < kSlotCount; ++i) {
    if (!textures[i].texture) continue;
    const int level = classifyPart(damage, i);
    if (level == lastLevel[i]) continue;
    lastLevel[i] = level;
    if (autohide && level != 0) hideTimer = kShowSeconds;
  }
}

void CarDamageHUD::drawDiagram(float dt) {
  IDirect3DDevice9* device = host::pointers().device;
  if (!device || !host::damageBlock()) return;  // no car loaded: nothing to draw or classify

  blinkAccum += dt;
  if (blinkAccum > kTickSeconds) {
    blinkAccum = 0.0f;
    blinkOn = !blinkOn;
    classifyLoadedSlots();
  }
  if (autohide) {
    if (hideTimer < 0.0f) return;
    hideTimer -= dt;
  }

  SetupVertex2DRenderState(device);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetVertexShader(nullptr);
  device->SetPixelShader(nullptr);

  // The host binds its own textures between our frames, so the record of
  // the last bound texture is only good within this pass.
  lastBoundTexture = nullptr;
  if (atlas)
    drawAtlas(device);
  else
    drawEachImage(device);
}

// Every part to draw in one vertex array, one texture and one draw: the
// parts keep their order (higher indices over lower ones) within the call.
void CarDamageHUD::drawAtlas(IDirect3DDevice9* device) {
  UINT quads = 0;
  for (int i = 0; i < kSlotCount; ++i) {
    const TexturedRect& slot = textures[i];
    const AtlasLayout::Spot spot = atlasLayout.spots[i];
    if (!slot.texture || spot.x < 0 || slot.visible.empty()) continue;
    atlasQuad(&atlasVertices_[quads * 6], slot.visible, slot.width, slot.height, spot, atlasLayout, posX, posY,
              static_cast<float>(slot.width) * scale, static_cast<float>(slot.height) * scale,
              damageTint(lastLevel[i], blinkOn));
    ++quads;
  }
  drawTexturedQuadList(device, atlas, atlasVertices_, quads);
}

void CarDamageHUD::drawEachImage(IDirect3DDevice9* device) {
  for (int i = 0; i < kSlotCount; ++i) {
    TexturedRect& slot = textures[i];
    if (!slot.texture) continue;
    // Scale 0 means the image's own size, which setRectQuad gives for 0 x 0.
    const float w = static_cast<float>(slot.width) * scale;
    const float h = static_cast<float>(slot.height) * scale;
    // Each part image covers the whole diagram but shows only its part:
    // drawing just the visible texels keeps the fill (and the frame time)
    // to what the parts really cover.
    if (!setVisibleRectQuad(slot, posX, posY, w, h)) continue;
    const std::uint32_t tint = damageTint(lastLevel[i], blinkOn);
    for (Vertex2D& v : slot.vertices) v.colour = tint;
    drawTexturedQuad(device, slot);
  }
}

void CarDamageHUD::idleReset() {
  if (blinkAccum != 1.0f)
    for (int i = 0; i < kSlotCount; ++i)
      if (textures[i].texture) lastLevel[i] = 0;
  if (autohide) hideTimer = -1.0f;
  blinkAccum = 1.0f;
}

}  // namespace ostrel
