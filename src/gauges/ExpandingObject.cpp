#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeValues.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

ExpandingObject::ExpandingObject(const ElementSource& source) : TextureObject(source.section, source.file) {
  loadImage(source.device, keys::image(), rect);
  min = readSettingFloat(source.section, keys::min(), 0.0f, source.file);
  max = readSettingFloat(source.section, keys::max(), 0.0f, source.file);
  const std::string d = readSettingTextLower(source.section, keys::direction(), "", source.file);
  direction = d == keys::directionUp() ? 2 : d == keys::directionDown() ? 3 : d == keys::directionLeft() ? 0 : 1;
  bindEffect(source.effects);
}

void ExpandingObject::Draw(IDirect3DDevice9* device, GaugeValueContext& context, float) {
  if (!rect.texture) return;
  const float f = readFraction(context, valueId, min, max);
  if (f == 0.0f) return;
  std::uint32_t c = colour;
  if (!passEffect(c)) return;
  const float w = static_cast<float>(rect.width), h = static_cast<float>(rect.height);
  float x0 = posX, y0 = posY, x1 = posX + w, y1 = posY + h;
  float uL = 0.0f, tT = 0.0f, uR = 1.0f, tB = 1.0f;
  switch (direction) {
    case 0: x0 = posX + (1.0f - f) * w; uL = 1.0f - f; break;
    case 2: y0 = posY + (1.0f - f) * h; tT = 1.0f - f; break;
    case 3: y1 = posY + f * h; tB = f; break;
    default: x1 = posX + f * w; uR = f; break;
  }
  // Cropped, not scaled: the texture coordinates shrink with the quad.
  rect.vertices[0] = {x0, y0, 0.0f, 1.0f, c, uL, tT};
  rect.vertices[1] = {x0, y1, 0.0f, 1.0f, c, uL, tB};
  rect.vertices[2] = {x1, y0, 0.0f, 1.0f, c, uR, tT};
  rect.vertices[3] = {x1, y1, 0.0f, 1.0f, c, uR, tB};
  drawTexturedQuad(device, rect);
}

}  // namespace ostrel::gauges
