#pragma once
// The classes of the gauge element kinds (GaugeElementKinds.h has their rows).
#include <cstdint>
#include <vector>

#include "gauges/DigitFont.h"
#include "gauges/GaugeMath.h"
#include "gauges/TextureObject.h"

namespace ostrel::gauges {

// One image per gear index 0..7, the one of the current gear drawn.
class GearObject : public TextureObject {
 public:
  explicit GearObject(const ElementSource& source);
  void Draw(IDirect3DDevice9* device, GaugeValueContext& context, float frameTime) override;
  TexturedRect gears[8];
};

// A needle turned about its pivot by a value, with a damped spring.
class RotatingObject : public TextureObject {
 public:
  explicit RotatingObject(const ElementSource& source);
  void Draw(IDirect3DDevice9* device, GaugeValueContext& context, float frameTime) override;
  TexturedRect rect;
  float pivotX = 0.0f, pivotY = 0.0f;
  std::vector<float> angles, values;
  float speedFactor = 15.0f;
  SpringState spring;
  float stiffness = 30.0f;
  float damping = 2.0f;
  std::int32_t instant = 0;
};

// An image shown while a condition holds.
class SimpleObject : public TextureObject {
 public:
  explicit SimpleObject(const ElementSource& source);
  void Draw(IDirect3DDevice9* device, GaugeValueContext& context, float frameTime) override;
  TexturedRect rect;
  float threshold = 0.0f;
};

// A number drawn with a digit-strip font, optionally turned.
class NumberObject : public TextureObject {
 public:
  explicit NumberObject(const ElementSource& source);
  void Draw(IDirect3DDevice9* device, GaugeValueContext& context, float frameTime) override;
  DigitFont* font = nullptr;
  std::int32_t format = 1;
  std::int32_t alignment = 0;  // 0 left, 1 right, 2 centre
  float angle = 0.0f;

 private:
  bool formatReported_ = false;
  // The cells of one draw, as triangles; longer numbers take more draws.
  static constexpr UINT kCellBatch = 16;
  Vertex2D cells_[kCellBatch * 6]{};
};

// A bar: the image cropped to the value's fraction from one edge.
class ExpandingObject : public TextureObject {
 public:
  explicit ExpandingObject(const ElementSource& source);
  void Draw(IDirect3DDevice9* device, GaugeValueContext& context, float frameTime) override;
  TexturedRect rect;
  float min = 0.0f, max = 0.0f;
  std::int32_t direction = 1;  // 0 leftward, 1 rightward, 2 upward, 3 downward
};

// An image always shown.
class StaticObject : public TextureObject {
 public:
  explicit StaticObject(const ElementSource& source);
  void Draw(IDirect3DDevice9* device, GaugeValueContext& context, float frameTime) override;
  TexturedRect rect;
};

// An image tinted between two colours by the value's fraction.
class ColourObject : public TextureObject {
 public:
  explicit ColourObject(const ElementSource& source);
  void Draw(IDirect3DDevice9* device, GaugeValueContext& context, float frameTime) override;
  TexturedRect rect;
  float min = 0.0f, max = 0.0f;
  std::uint32_t colourFrom = 0xFFFFFFFFu, colourTo = 0xFFFFFFFFu;
};

// An image revealed as a circular sector from the first calibration angle
// to the value's angle.
class PieObject : public TextureObject {
 public:
  explicit PieObject(const ElementSource& source);
  ~PieObject() override;
  void Draw(IDirect3DDevice9* device, GaugeValueContext& context, float frameTime) override;
  IDirect3DTexture9* texture = nullptr;
  std::vector<Vertex2D> vertices;
  std::int32_t width = 0, height = 0;
  std::vector<float> angles, values;
};

}  // namespace ostrel::gauges
