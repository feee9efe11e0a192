#pragma once
// Car damage diagram: a stack of up to 88 image layers, one per part index,
// each tinted by its part's damage level, drawn straight with the device.
#include <cstdint>
#include <string>

#include "KVX/ImageAtlas.h"
#include "panels/TexturedHUD.h"

namespace ostrel {

class CarDamageHUD : public TexturedHUD {
 public:
  CarDamageHUD();
  ~CarDamageHUD() override;
  void reload() override;
  // One visible frame; dt = seconds since the previous frame.
  void drawDiagram(float dt);
  // A frame on which the (enabled) panel is not visible.
  void idleReset();
  // The game made a new device: the images go with the old one and are
  // loaded again on the new one.
  void deviceChanged();

  std::int32_t lastLevel[kSlotCount]{};
  bool autohide = false;
  float hideTimer = 0.0f;
  std::string textureSet;
  float blinkAccum = 0.0f;

  // The visible boxes of all part images in one texture (one reference held
  // here, one by each loaded slot, whose texture it is); null when the set
  // did not fit and each slot holds its own image.
  IDirect3DTexture9* atlas = nullptr;
  AtlasLayout atlasLayout;
  // Largest atlas side to try; 0 takes the device's limits.
  std::int32_t atlasSideLimit = 0;

 private:
  void classifyLoadedSlots();
  void loadImages(IDirect3DDevice9* device);
  bool loadAtlas(IDirect3DDevice9* device);
  void releaseImages();
  void drawAtlas(IDirect3DDevice9* device);
  void drawEachImage(IDirect3DDevice9* device);
  // The quads of one atlas frame (no allocation per frame).
  Vertex2D atlasVertices_[kSlotCount * 6]{};
};

// Vertex colour of a layer at damage level `level` in blink phase `blinkOn`.
std::uint32_t damageTint(std::int32_t level, bool blinkOn);

}  // namespace ostrel
