#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

StaticObject::StaticObject(IDirect3DDevice9* device, const std::string& section,
                           const std::string& file, const EffectList& effects)
    : TextureObject(section, file) {
  loadImage(device, readSettingText(section, keys::image(), "", file), rect);
  bindEffect(effects);
}

void StaticObject::Draw(IDirect3DDevice9* device, GaugeValueContext&, float) {
  drawImage(device, rect, posX, posY);
}

}  // namespace ostrel::gauges
