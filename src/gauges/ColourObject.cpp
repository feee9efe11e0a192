#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeValues.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

ColourObject::ColourObject(const ElementSource& source) : TextureObject(source.section, source.file) {
  loadImage(source.device, keys::image(), rect);
  min = readSettingFloat(source.section, keys::min(), 0.0f, source.file);
  max = readSettingFloat(source.section, keys::max(), 0.0f, source.file);
  colourFrom = readSettingHex(source.section, keys::colourFrom(), 0xFFFFFFFFu, source.file);
  colourTo = readSettingHex(source.section, keys::colourTo(), 0xFFFFFFFFu, source.file);
  bindEffect(source.effects);
}

void ColourObject::Draw(IDirect3DDevice9* device, GaugeValueContext& context, float) {
  if (!rect.texture) return;
  const float f = readFraction(context, valueId, min, max);
  if (f < 0.01f) return;
  std::uint32_t c = colour;
  if (!passEffect(c)) return;
  const bool recoloured = effect && (effect->modes & kEffectColour) && effect->active;
  if (!recoloured) c = blendColour(colourFrom, colourTo, f);
  if (FAILED(D3D9CreateRectangleVertexTex2D(rect.vertices, posX, posY, static_cast<float>(rect.width),
                                            static_cast<float>(rect.height), c))) {
    logRectFailure();
    return;
  }
  drawTexturedQuad(device, rect);
}

}  // namespace ostrel::gauges
