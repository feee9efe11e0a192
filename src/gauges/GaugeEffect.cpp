#include "gauges/GaugeEffect.h"

namespace ostrel::gauges {

void GaugeEffect::update(float frameTime, bool triggerHolds) {
  hidden = false;
  active = triggerHolds;
  // A period of zero (or less) cannot blink: the element stays visible.
  if (active && (modes & kEffectBlink) && period > 0.0f) {
    timer += frameTime;
    hidden = timer > halfPeriod;
    if (timer > period) timer = 0.0f;
  }
}

bool GaugeEffect::apply(std::uint32_t& c) {
  if (modes & kEffectOnce) {
    useCount += 1;
    if (useCount > 1) hidden = true;
  }
  if (hidden) return false;
  if ((modes & kEffectColour) && active) c = colour;
  return true;
}

}  // namespace ostrel::gauges
