#pragma once
// A named effect that elements consult before they draw: blink while its
// trigger holds, show only the first element of a frame, or recolour.
// Timing and decisions are Windows-free; reading a section is in
// GaugeEffectReader.
#include <cstdint>
#include <string>

#include "gauges/GaugeValueId.h"

namespace ostrel::gauges {

enum EffectMode : std::uint32_t { kEffectBlink = 1, kEffectOnce = 2, kEffectColour = 4 };

struct GaugeEffect {
  std::string name;
  std::uint32_t modes = 0;
  bool hidden = false;
  bool active = false;
  float period = 0.0f;
  float halfPeriod = 0.0f;
  float timer = 0.0f;
  std::int32_t useCount = 0;
  std::uint32_t colour = 0xFFFFFFFFu;
  GaugeValueId trigger = 0;
  float threshold = 0.0f;

  // Once per rendered frame, before any element draws; `triggerHolds` is the
  // trigger condition of this frame.
  void update(float frameTime, bool triggerHolds);
  // Asked by an element just before it draws: false hides it; may replace colour.
  bool apply(std::uint32_t& colour);
  // After all elements have drawn.
  void endFrame() { useCount = 0; }
};

}  // namespace ostrel::gauges
