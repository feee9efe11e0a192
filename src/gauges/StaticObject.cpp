#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

StaticObject::StaticObject(const ElementSource& source) : TextureObject(source.section, source.file) {
  loadImage(source.device, keys::image(), rect);
  bindEffect(source.effects);
}

void StaticObject::Draw(IDirect3DDevice9* device, GaugeValueContext&, float) {
  drawImage(device, rect, posX, posY);
}

}  // namespace ostrel::gauges
