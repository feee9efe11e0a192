#include <cmath>

#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeValues.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

RotatingObject::RotatingObject(const ElementSource& source) : TextureObject(source.section, source.file) {
  loadImage(source.device, keys::image(), rect);
  pivotX = readSettingFloat(source.section, keys::pivotX(), 0.0f, source.file);
  pivotY = readSettingFloat(source.section, keys::pivotY(), 0.0f, source.file);
  instant = readSettingInt(source.section, keys::instant(), 0, source.file);
  speedFactor = readSettingFloat(source.section, keys::speed(), 10.0f, source.file) * 1.5f;
  stiffness = readSettingFloat(source.section, keys::stiffness(), 30.0f, source.file);
  damping = readSettingFloat(source.section, keys::damping(), 2.0f, source.file);
  readCalibration(angles, values);
  // A needle has no effect: it always shows.
}

void RotatingObject::Draw(IDirect3DDevice9* device, GaugeValueContext& context, float frameTime) {
  const float v = readValue(context, valueId);
  const float target = calibratedAngle(angles, values, v) * 0.017453292f;
  if (instant != 0)
    spring.angle = target;
  else
    stepSpring(spring, target, frameTime, stiffness, damping, speedFactor);
  if (!rect.texture) return;
  if (FAILED(D3D9CreateRectangleVertexTex2D(rect.vertices, posX - pivotX, posY - pivotY,
                                            static_cast<float>(rect.width),
                                            static_cast<float>(rect.height), 0xFFFFFFFFu))) {
    logRectFailure();
    return;
  }
  const float c = std::cos(spring.angle), s = std::sin(spring.angle);
  for (Vertex2D& p : rect.vertices) {
    const float dx = p.x - posX, dy = p.y - posY;
    p.x = posX + dx * c - dy * s;
    p.y = posY + dx * s + dy * c;
    p.colour = 0xFFFFFFFFu;
  }
  drawTexturedQuad(device, rect);
}

}  // namespace ostrel::gauges
