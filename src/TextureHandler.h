#pragma once
// A gauge renderer: turns one host texture (created as a render target) into
// live instruments. Each drawn frame restores the texture from its base image
// and lets the gauge set's elements draw over it, then hands the device back
// to the host exactly as it was.
//
// Its state is its own: the texture hook makes it, the frame driver draws it
// and rebuilds it, the device-life code has it let go of its device objects
// and bind to the texture made again, through the operations below.
#include <d3d9.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "KVX/ComRelease.h"
#include "plugin/SteadyClock.h"

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

class TextureHandler {
 public:
  // Draws with `device` on `target` (one reference taken) the gauge set of
  // the definition file, over the base image read from `textureFileName`.
  // A renderer whose base image or target cannot be had stays inert.
  TextureHandler(IDirect3DDevice9* device, IDirect3DTexture9* target, const std::string& definitionPath,
                 const std::string& textureFileName);
  ~TextureHandler();
  TextureHandler(const TextureHandler&) = delete;
  TextureHandler& operator=(const TextureHandler&) = delete;

  // Draws one frame when the refresh interval has passed since the last one.
  void Render();
  // False when the base image did not load: nothing is ever drawn.
  bool active() const { return static_cast<bool>(baseImage_); }

  // Device life. Before a Reset, or once the device is lost, every default-pool
  // object goes (the reference on the host's render target, the state block,
  // the renderer's own target); the gauge set, the base image and the
  // element images stay. The host makes its texture again after the Reset,
  // and the texture hook binds it here: drawing goes on where it left off.
  // On an extended device default-pool objects live through a Reset (and a
  // game may keep its texture over one): nothing is let go there.
  void releaseDeviceObjects();
  // Draws into `texture` from now on (one reference taken), in place of the
  // texture held before. A new size or format needs a new base image: made
  // beforehand with baseImageFor (it runs the host's texture function, so the
  // caller makes it outside the renderer lock) and handed in as `newBase`;
  // without it such a texture is not bound.
  void bindTarget(IDirect3DTexture9* texture, ComRef<IDirect3DTexture9> newBase = {});
  // True when `texture` can be drawn on with the base image held now.
  bool baseImageFits(IDirect3DTexture9* texture) const;
  // A base image from `file` for `texture`'s size and format, loaded with
  // `device` (empty, logged, when none can be made).
  static ComRef<IDirect3DTexture9> baseImageFor(IDirect3DDevice9* device, const std::string& file,
                                                IDirect3DTexture9* texture);
  // What it takes to make this renderer anew from the same files, on the same
  // texture (held), drawn with `device` (null: the device this one has): the
  // reload key's new renderer, made outside the renderer lock since it loads
  // images through the host's texture function.
  struct RemakeSpec {
    IDirect3DDevice9* device = nullptr;
    ComRef<IDirect3DTexture9> target;
    std::string definitionPath, textureFileName;
    std::unique_ptr<TextureHandler> make() const {
      return std::make_unique<TextureHandler>(device, target.get(), definitionPath, textureFileName);
    }
  };
  RemakeSpec remakeSpec(IDirect3DDevice9* device) const;

  // True when `d` is the device the renderer draws with, or the one its
  // texture was made on (behind a proxy device, the real one).
  bool usesDevice(IDirect3DDevice9* d) const { return d && (d == device_ || d == targetDevice_); }
  // True while a default-pool object is held that a Reset of the device
  // would refuse.
  bool holdsDeviceObjects() const;
  // True for the renderer made for this definition and texture file.
  bool matches(const std::string& definitionPath, const std::string& textureFileName) const {
    return definitionPath == definitionPath_ && textureFileName == textureFileName_;
  }
  IDirect3DDevice9* drawingDevice() const { return device_; }

  // For the preview tool, which stands in for the host: the values beyond
  // host memory that elements read (null while inert), and the effects'
  // periods started afresh.
  gauges::GaugeValueContext* valueContext() { return valueContext_.get(); }
  void restartEffects();

  // What the gauge set gave, for the tests and the fuzzer's sanity check.
  struct LoadedSet {
    std::size_t elements = 0, effects = 0, fonts = 0, refreshRects = 0;
    std::int32_t setOption = 0;
  };
  LoadedSet loadedSet() const;
  float frameInterval() const { return frameInterval_; }
  SteadyTime lastFrameTime() const { return lastRenderTime_; }

 private:

  // Takes `texture` as the target: its description decides how it is drawn.
  bool takeTarget(IDirect3DTexture9* texture, const D3DSURFACE_DESC& desc);
  // A base image the size and format of the surface drawn on (which
  // UpdateSurface needs); false, logged, when none can be made.
  bool loadBaseImage(const D3DSURFACE_DESC& surface);
  // The same, without keeping it: the image, or empty (logged).
  static ComRef<IDirect3DTexture9> makeBaseImage(IDirect3DDevice9* device, const std::string& file,
                                                 const D3DSURFACE_DESC& surface);
  // The host's depth-stencil surface comes off while the gauges draw (it
  // must match the gauge texture's size and sampling, which it seldom does),
  // and goes back with the host's render target.
  IDirect3DSurface9* unbindDepthStencil(bool& stillBound);
  void rebindDepthStencil(IDirect3DSurface9* depth);
  // The surface drawn on this frame: the host's texture, or the own target
  // (made here after a loss or Reset). Null, logged once, when there is none.
  IDirect3DSurface9* drawSurface();
  // The own target's picture into the host's managed texture.
  void copyIntoTarget(IDirect3DSurface9* drawn);
  void loadGaugeSet();
  // `depthBound`: a depth-stencil surface is still bound (the host's could
  // not be taken off), so its tests are switched off.
  void SetUpRenderStates(bool depthBound);
  void restoreBaseImage(IDirect3DSurface9* targetSurface);
  void drawElements(float frameTime);
  // Render target 0 back to the host's surface, or to the back buffer when
  // the device refuses that.
  void restoreHostTarget(IDirect3DSurface9* hostTarget);
  // The per-frame resets: bound texture, clock read, effect use counts.
  void endFrame();
  // Lets go of everything read and every device object: the renderer is inert.
  void releaseAll();

  // Who it is: known from the start, also to a renderer that stays inert.
  std::string definitionPath_;
  std::string textureFileName_;
  IDirect3DDevice9* device_ = nullptr;  // not held: the host's

  // Read from the files.
  ComRef<IDirect3DTexture9> baseImage_;
  D3DSURFACE_DESC baseDesc_{};  // of the base image's level 0
  std::int32_t setOption_ = 0;
  std::unique_ptr<gauges::GaugeValueContext> valueContext_;
  std::vector<std::unique_ptr<gauges::GaugeEffect>> effects_;
  std::vector<std::unique_ptr<gauges::DigitFont>> fonts_;  // shared by the number elements
  std::vector<std::unique_ptr<gauges::TextureObject>> elements_;
  std::vector<RefreshRect> refreshRects_;
  float frameInterval_ = 0.0f;
  SteadyTime lastRenderTime_;

  // The texture drawn on, and the device objects of drawing.
  ComRef<IDirect3DTexture9> target_;
  // The device `target_` was made on; not a reference (the texture holds one).
  IDirect3DDevice9* targetDevice_ = nullptr;
  // A host texture in the managed pool cannot be a render target: the gauges
  // draw on a default-pool target of the renderer's own, which each drawn
  // frame is read back and written into the host's texture.
  bool copyToTarget_ = false;
  ComRef<IDirect3DTexture9> ownTarget_;
  ComRef<IDirect3DSurface9> readback_;  // system memory, the size and format of the target
  // The host's device state, captured before and applied after each frame.
  ComRef<IDirect3DStateBlock9> savedState_;
  // Made on an extended device: its default-pool objects outlive a Reset.
  bool keepsObjectsOverReset_ = false;
  bool ownTargetFailed_ = false;  // said once
  bool copyFailed_ = false;       // said once
};

}  // namespace ostrel
