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

  // Device life. Before a Reset, or once the device is lost, every default-pool
  // object goes (the reference on the host's render target, the state block,
  // the renderer's own target); the gauge set, the base image and the
  // element images stay. The host makes its texture again after the Reset,
  // and the texture hook binds it here: drawing goes on where it left off.
  void releaseDeviceObjects();
  // Draws into `texture` from now on (one reference taken), in place of the
  // texture held before. A new size or format brings a new base image.
  void bindTarget(IDirect3DTexture9* texture);
  // True when `d` is the device the renderer draws with, or the one its
  // texture was made on (behind a proxy device, the real one).
  bool usesDevice(IDirect3DDevice9* d) const { return d && (d == device || d == targetDevice); }
  // True while a default-pool object is held.
  bool holdsDeviceObjects() const;

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
  // The device `target` was made on; not a reference (the texture holds one).
  IDirect3DDevice9* targetDevice = nullptr;
  // A host texture in the managed pool cannot be a render target: the gauges
  // draw on a default-pool target of the renderer's own, which each drawn
  // frame is read back and written into the host's texture.
  bool copyToTarget = false;
  IDirect3DTexture9* ownTarget = nullptr;
  IDirect3DSurface9* readback = nullptr;  // system memory, the size and format of the target

 private:
  // Takes `texture` as the target: its description decides how it is drawn.
  bool takeTarget(IDirect3DTexture9* texture, const D3DSURFACE_DESC& desc);
  // A base image the size and format of the surface drawn on (which
  // UpdateSurface needs); false, logged, when none can be made.
  bool loadBaseImage(const D3DSURFACE_DESC& surface);
  // The surface drawn on this frame: the host's texture, or the own target
  // (made here after a loss or Reset). Null, logged once, when there is none.
  IDirect3DSurface9* drawSurface();
  // The own target's picture into the host's managed texture.
  void copyIntoTarget(IDirect3DSurface9* drawn);
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

  D3DSURFACE_DESC baseDesc_{};  // of the base image's level 0
  bool ownTargetFailed_ = false;  // said once
  bool copyFailed_ = false;       // said once
};

}  // namespace ostrel
