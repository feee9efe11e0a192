#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeValues.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

SimpleObject::SimpleObject(IDirect3DDevice9* device, const std::string& section,
                           const std::string& file, const EffectList& effects)
    : TextureObject(section, file) {
  loadImage(device, readSettingText(section, keys::image(), "", file), rect);
  threshold = readSettingFloat(section, keys::threshold(), 0.0f, file);
  bindEffect(effects);
}

void SimpleObject::Draw(IDirect3DDevice9* device, GaugeValueContext& context, float) {
  if (testCondition(context, valueId, threshold)) drawImage(device, rect, posX, posY);
}

}  // namespace ostrel::gauges
