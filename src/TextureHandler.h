#pragma once
// A gauge renderer: turns one host texture (created as a render target) into
// live instruments. Each drawn frame restores the texture from its base image
// and lets the gauge set's elements draw over it, then hands the device back
// to the host exactly as it was.
#include <d3d9.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "panels/BasicHUD.h"

namespace ostrel {

namespace gauges {
class TextureObject;
class DigitFont;
struct GaugeEffect;
struct GaugeValueContext;
}  // namespace gauges

// The layout of a Windows RECT, in pixels of the base image.
struct RefreshRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class TextureHandler : public BasicHUD {
 public:
  TextureHandler(IDirect3DDevice9* device, IDirect3DTexture9* target, const std::string& definitionPath,
                 const std::string& textureFileName);
  ~TextureHandler() override;
  TextureHandler(const TextureHandler&) = delete;
  TextureHandler& operator=(const TextureHandler&) = delete;

  // Draws one frame when the refresh interval has passed since the last one.
  void Render();
  // False when the base image did not load: nothing is ever drawn.
  bool active() const { return baseImage != nullptr; }

  std::int32_t setOption = 0;
  IDirect3DTexture9* target = nullptr;
  std::string textureFileName;
  std::string folder;
  std::string definitionPath;
  float frameInterval = 0.0f;
  float baseWidth = 0.0f, baseHeight = 0.0f;
  IDirect3DTexture9* baseImage = nullptr;
  IDirect3DDevice9* device = nullptr;
  gauges::GaugeValueContext* valueContext = nullptr;
  std::vector<gauges::TextureObject*> elements;
  std::vector<RefreshRect> refreshRects;
  std::vector<gauges::DigitFont*> fonts;
  std::vector<gauges::GaugeEffect*> effects;
  std::chrono::steady_clock::time_point lastRenderTime;
  // The host's device state, captured before and applied after each frame.
  IDirect3DStateBlock9* savedState = nullptr;

 private:
  void loadGaugeSet();
  void SetUpRenderStates();
  void restoreBaseImage(IDirect3DSurface9* targetSurface);
  void drawElements(float frameTime);
  // Render target 0 back to the host's surface, or to the back buffer when
  // the device refuses that.
  void restoreHostTarget(IDirect3DSurface9* hostTarget);
  // The per-frame resets: bound texture, clock read, effect use counts.
  void endFrame();
  void releaseAll();
};

}  // namespace ostrel
