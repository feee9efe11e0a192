#include "panels/TireHUD.h"

#include <cstring>

#include "panels/HostState.h"
#include "plugin/FixedText.h"
#include "plugin/HostInterfaces.h"

namespace ostrel {
namespace {

// Word 187 of the damage record: four tires of eight segment wear values.
constexpr std::uint32_t kTireWearOffset = 187 * 4;
constexpr int kDrawModes = 0x43;

const char* tireLabel(int tire) {
  switch (tire) {
    case 0: return FT("FL");
    case 1: return FT("FR");
    case 2: return FT("RL");
    default: return FT("RR");
  }
}

}  // namespace

TireHUD::TireHUD() : BasicHUD(FT("TireHUD")) {}

void TireHUD::draw(IHostGame* host) {
  const std::uint8_t* damage = host::damageBlock();
  if (!host || !damage) return;  // no car loaded: nothing to show
  float blockX[4], blockY[4];
  for (int t = 0; t < 4; ++t) {
    blockX[t] = posX + ((t & 1) ? columnSpacing : 0.0f);
    blockY[t] = posY + ((t & 2) ? rowSpacing : 0.0f);
    float wear[8];
    std::memcpy(wear, damage + kTireWearOffset + 32 * t, sizeof wear);
    drawTire(host, wear, blockX[t], blockY[t]);
  }
  host->SelectTextMode(3);
  host->BeginDrawModes(kDrawModes);
  host->SelectFont(0);
  // The labels take the colour last set: that of tire 3's last segment.
  for (int t = 0; t < 4; ++t)
    host->WriteText(blockX[t] + 4.0f * static_cast<float>(segmentWidth), blockY[t] + barHeight * 0.5f,
                    tireLabel(t));
  host->EndDrawModes(kDrawModes);
}

void TireHUD::drawTire(IHostGame* host, const float* wear, float x, float y) {
  if (!host || !wear) return;
  // A vertical run of points one unit apart from y to y + barHeight.
  const int n = static_cast<int>(barHeight);
  const float step = n > 0 ? barHeight / static_cast<float>(n) : 0.0f;
  for (int s = 0; s < 8; ++s) {
    const float r = 1.0f - wear[s];
    if (r < 0.0f)
      host->SetColor(0.0f, 0.0f, 0.0f, 1.0f);
    else
      host->SetColor(1.0f - r, r, 0.0f, 1.0f);
    for (int c = 0; c < segmentWidth; ++c) {
      const float columnX = static_cast<float>(segmentWidth * s) + x + static_cast<float>(c);
      for (int k = 0; k <= n; ++k)
        host->DrawMarker(kMarkerGraphic, columnX, y + step * static_cast<float>(k));
    }
  }
}

}  // namespace ostrel
