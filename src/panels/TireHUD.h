#pragma once
// Tire wear panel: four blocks of vertical stripes, one stripe per wear
// segment, drawn point by point with the host's own drawing operations.
#include <cstdint>

#include "panels/BasicHUD.h"

namespace ostrel {

class TireHUD : public BasicHUD {
 public:
  TireHUD();
  void draw(IHostGame* host) override;
  // One tire block with its top-left corner at (x, y); wear holds 8 segments.
  void drawTire(IHostGame* host, const float* wear, float x, float y);

  float columnSpacing = 35.0f;
  float rowSpacing = 60.0f;
  float barHeight = 40.0f;
  std::int32_t segmentWidth = 2;
};

}  // namespace ostrel
