#include <algorithm>
#include <cmath>

#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeValues.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

PieObject::PieObject(const ElementSource& source) : TextureObject(source.section, source.file) {
  TexturedRect image;
  if (!loadImage(source.device, keys::image(), image)) return;
  texture = image.texture;
  image.texture = nullptr;  // the pie keeps the reference
  width = image.width;
  height = image.height;
  readCalibration(angles, values);
  bindEffect(source.effects);
}

PieObject::~PieObject() {
  if (texture) texture->Release();
}

void PieObject::Draw(IDirect3DDevice9* device, GaugeValueContext& context, float) {
  if (!texture || angles.empty() || values.empty()) return;
  std::uint32_t c = colour;
  if (!passEffect(c)) return;
  const float v = readValue(context, valueId);
  const float endAngle = calibratedAngle(angles, values, v) * 0.017453292f;
  const float startAngle = angles[0] * 0.017453292f;
  // Screen angles: 0 points down, growing angles sweep clockwise. The image is
  // sampled at v = 0.5 + 0.5 sin t while the screen's y grows downward, so the
  // image's bottom row lands at the top of the sector: gauge sets made for the
  // host carry their pie images drawn for exactly this mapping.
  float a = 4.712389f - startAngle, b = 4.712389f - endAngle;
  const float hi = std::max(a, b), lo = std::min(a, b);
  const float r = static_cast<float>(std::min(width, height)) * 0.5f;
  const int n = pieSegmentCount(lo, hi);
  vertices.clear();
  vertices.push_back({posX, posY, 0.0f, 1.0f, c, 0.5f, 0.5f});
  for (int k = 0; k <= n; ++k) {
    const float t = hi - (static_cast<float>(k) / static_cast<float>(n)) * (hi - lo);
    const float ct = std::cos(t), st = std::sin(t);
    vertices.push_back({posX + ct * r, posY - st * r, 0.0f, 1.0f, c, 0.5f + 0.5f * ct, 0.5f + 0.5f * st});
  }
  bindQuadTexture(device, texture);
  device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, static_cast<UINT>(vertices.size() - 2), vertices.data(),
                          sizeof(Vertex2D));
}

}  // namespace ostrel::gauges
