#pragma once
// The base of the gauge elements: position, value source, colour and effect
// read from the element's section; image loading and the quad draw they share.
#include <d3d9.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "KVX/D3D9Helpers.h"
#include "gauges/DigitFont.h"
#include "gauges/GaugeEffect.h"
#include "gauges/GaugeValueContext.h"
#include "gauges/GaugeValueId.h"

namespace ostrel::gauges {

using EffectList = std::vector<std::unique_ptr<GaugeEffect>>;

// What the loader makes an element from: the device, the element's section
// (as the author wrote its name) of the definition file, and the effects and
// fonts of the set read so far. Every element class has a constructor that
// takes it, which is what GaugeElementKinds.h's rows call.
struct ElementSource {
  IDirect3DDevice9* device;
  const std::string& section;
  const std::string& file;
  const EffectList& effects;
  FontList& fonts;
};

// The folder of a file path, with a trailing "/" (either separator accepted).
std::string folderOf(const std::string& path);

class TextureObject {
 public:
  TextureObject(const std::string& section, const std::string& definitionFile);
  TextureObject(const TextureObject&) = delete;
  TextureObject& operator=(const TextureObject&) = delete;

  virtual void Idle() {}
  virtual void Draw(IDirect3DDevice9* device, GaugeValueContext& context, float frameTime) {}
  virtual ~TextureObject() = default;

  float posX = 0.0f;
  float posY = 0.0f;
  GaugeValueId valueId = 0;
  std::string folder;
  std::string definitionFile;
  GaugeEffect* effect = nullptr;
  std::uint32_t colour = 0xFFFFFFFFu;

 protected:
  std::string section_;
  // Looks up EffectName among the effects read so far.
  void bindEffect(const EffectList& effects);
  // Loads the image named by `key` (relative to the folder) into rect; logs
  // the problem when it fails.
  bool loadImage(IDirect3DDevice9* device, const std::string& key, TexturedRect& rect);
  // The log line of an image that did not load: the lint tool's words, then
  // the full path the element tried, so a wrong folder is plain to see.
  void logImageProblem(const std::string& key, const std::string& name, const std::string& path);
  // Asks the effect (if any); false when the element is hidden this frame.
  bool passEffect(std::uint32_t& drawColour);
  // Effect check, rectangle at (x, y) in image size, one strip draw.
  void drawImage(IDirect3DDevice9* device, TexturedRect& rect, float x, float y);
  // Reads the calibration (two-point or point-list form).
  void readCalibration(std::vector<float>& angles, std::vector<float>& values);
  void logRectFailure();
};

}  // namespace ostrel::gauges
