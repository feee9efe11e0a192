#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "panels/HostState.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

GearObject::GearObject(const ElementSource& source) : TextureObject(source.section, source.file) {
  for (int i = 0; i < 8; ++i)
    loadImage(source.device, keys::gearImage() + std::to_string(i), gears[i]);
  bindEffect(source.effects);
}

void GearObject::Draw(IDirect3DDevice9* device, GaugeValueContext&, float) {
  const std::uint8_t* car = host::pointers().carStateBlock;
  if (!car) return;
  const std::int32_t gear = host::field<std::int32_t>(car, host::kGearOffset);
  if (gear < 0 || gear > 7) return;
  drawImage(device, gears[gear], posX, posY);
}

}  // namespace ostrel::gauges
