#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeValues.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

GearObject::GearObject(const ElementSource& source) : TextureObject(source.section, source.file) {
  for (int i = 0; i < 8; ++i)
    loadImage(source.device, keys::gearImage() + std::to_string(i), gears[i]);
  bindEffect(source.effects);
}

void GearObject::Draw(IDirect3DDevice9* device, GaugeValueContext&, float) {
  const std::int32_t gear = readGearIndex();
  if (gear < 0 || gear > 7) return;
  drawImage(device, gears[gear], posX, posY);
}

}  // namespace ostrel::gauges
