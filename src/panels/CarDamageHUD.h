#pragma once
// Car damage diagram: a stack of up to 88 image layers, one per part index,
// each tinted by its part's damage level, drawn straight with the device.
#include <cstdint>
#include <string>

#include "panels/TexturedHUD.h"

namespace ostrel {

class CarDamageHUD : public TexturedHUD {
 public:
  CarDamageHUD();
  void reload() override;
  // One visible frame; dt = seconds since the previous frame.
  void drawDiagram(float dt);
  // A frame on which the (enabled) panel is not visible.
  void idleReset();

  std::int32_t lastLevel[kSlotCount]{};
  bool autohide = false;
  float hideTimer = 0.0f;
  std::string textureSet;
  float blinkAccum = 0.0f;

 private:
  void classifyLoadedSlots();
};

// Vertex colour of a layer at damage level `level` in blink phase `blinkOn`.
std::uint32_t damageTint(std::int32_t level, bool blinkOn);

}  // namespace ostrel
