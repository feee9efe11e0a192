#pragma once
// A panel that draws images: 88 image slots, one per part index.
#include <functional>
#include <optional>
#include <string>

#include "KVX/D3D9Helpers.h"
#include "panels/BasicHUD.h"

namespace ostrel {

class TexturedHUD : public BasicHUD {
 public:
  static constexpr int kSlotCount = 88;
  using BasicHUD::BasicHUD;
  ~TexturedHUD() override;

  // Loads slot i (0..count-1) from plug-in folder\name\[subFolder\]fileName(i).
  void loadTextures(IDirect3DDevice9* device, const std::optional<std::string>& subFolder,
                    const std::function<std::string(int)>& fileName, int count);
  void releaseTextures();

  TexturedRect textures[kSlotCount];
};

}  // namespace ostrel
