#include "gauges/GaugeEffectReader.h"

#include "gauges/GaugeKeywords.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

void readGaugeEffect(GaugeEffect& effect, const std::string& section, const std::string& file) {
  effect.name = section;
  const std::string m = readSettingTextLower(section, keys::mode(), "", file);
  if (m.empty()) return;
  if (m.find(keys::modeBlink()) != std::string::npos) {
    effect.modes |= kEffectBlink;
    effect.period = readSettingFloat(section, keys::blinkPeriod(), 250.0f, file) / 1000.0f;
    effect.halfPeriod = effect.period * 0.5f;
  }
  if (m.find(keys::modeOnce()) != std::string::npos) effect.modes |= kEffectOnce;
  if (m.find(keys::modeColour()) != std::string::npos ||
      m.find(keys::modeColourAlt()) != std::string::npos) {
    effect.modes |= kEffectColour;
    effect.colour = readSettingHex(section, keys::effectColour(), 0xFF000000u, file);
  }
  effect.trigger = gaugeValueIdFromKeyword(readSettingTextLower(section, keys::trigger(), "", file));
  effect.threshold = readSettingFloat(section, keys::threshold(), 0.0f, file);
}

}  // namespace ostrel::gauges
