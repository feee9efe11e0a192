#include "panels/CarDamageHUD.h"

#include "panels/HostDamage.h"
#include "panels/HostState.h"
#include "panels/PartFileNames.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/Settings.h"

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

void CarDamageHUD::reload() {
  loadLayout();
  loadShowFlags();
  const std::string file = settingsPath();
  const std::string section = FT("HUD");
  const std::string wanted = readSettingText(section, FT("TextureSet"), "", file);
  if (wanted != textureSet) {
    releaseTextures();
    lastBoundTexture = nullptr;  // a new texture may get a released one's address
    if (wanted.empty()) {
      textureSet.clear();
      logText(std::string(FT("carDamageHUD: no TextureSet configured, the diagram stays empty (")) + file +
              ")");
      return;  // the panel keeps nothing, Autohide included, until a set is named
    } else if (IDirect3DDevice9* device = host::pointers().device) {
      textureSet = wanted;
      loadTextures(device, textureSet, [](int i) { return std::string(partFileName(i)); }, kSlotCount);
    } else {
      // Without the host's device nothing can load; leave the name unset so
      // the next reload tries again instead of keeping an empty diagram.
      textureSet.clear();
      logText(FT("carDamageHUD: no Direct3D device, images not loaded"));
    }
  }
  autohide = readSettingInt(section, FT("Autohide"), 0, file) != 0;
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
