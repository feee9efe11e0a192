#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeValues.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

SimpleObject::SimpleObject(const ElementSource& source) : TextureObject(source.section, source.file) {
  loadImage(source.device, keys::image(), rect);
  threshold = readSettingFloat(source.section, keys::threshold(), 0.0f, source.file);
  bindEffect(source.effects);
}

void SimpleObject::Draw(IDirect3DDevice9* device, GaugeValueContext& context, float) {
  if (testCondition(context, valueId, threshold)) drawImage(device, rect, posX, posY);
}

}  // namespace ostrel::gauges
