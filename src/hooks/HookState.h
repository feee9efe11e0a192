#pragma once
// Process-wide hook state shared by start-up, the frame driver and the
// texture creation hook. Empty or null at load; filled by start-up.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "plugin/RunningSettings.h"  // gaugesEnabled, refreshRate

namespace ostrel {

class CarDamageHUD;
class TireHUD;
class DamagedPartTableHUD;
class BestRunHUD;
class TextureHandler;

struct HookState {
  // Set by the first name query: start-up runs once, also when a detour
  // could not be installed and so left its trampoline entry empty.
  bool startupDone = false;
  void* frameTrampoline = nullptr;
  void* gaugeTrampoline = nullptr;
  void* textureLoadTrampoline = nullptr;
  CarDamageHUD* carDamagePanel = nullptr;
  TireHUD* tirePanel = nullptr;
  DamagedPartTableHUD* damagedPartTablePanel = nullptr;
  BestRunHUD* bestRunPanel = nullptr;
  // Owned here; made, dropped and rebuilt through GaugeRendererList.h.
  std::vector<std::unique_ptr<TextureHandler>> gaugeRenderers;
  // normalised host texture path -> normalised gauge definition file path
  std::unordered_map<std::string, std::string> gaugeTextureMap;
  std::int32_t gaugeReloadKeyEnabled = 0;
};

HookState& hookState();

}  // namespace ostrel
