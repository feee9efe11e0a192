#include <windows.h>

#include <cmath>
#include <memory>

#include "gauges/GaugeElements.h"
#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeLint.h"
#include "gauges/GaugeValues.h"
#include "gauges/NumberFormats.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/Settings.h"

namespace ostrel::gauges {

NumberObject::NumberObject(const ElementSource& source) : TextureObject(source.section, source.file) {
  format = numberFormatFromKeyword(readSettingTextLower(source.section, keys::format(), "", source.file));
  const std::string a = readSettingTextLower(source.section, keys::align(), "", source.file);
  alignment = a == keys::alignRight() ? 1 : (a == keys::alignCentre() || a == keys::alignCenter()) ? 2 : 0;
  angle = readSettingFloat(source.section, keys::angle(), 0.0f, source.file);
  const std::string fontName = readSettingText(source.section, keys::font(), "", source.file);
  if (!fontName.empty()) {
    for (const auto& f : source.fonts)
      if (f && f->name == fontName) font = f.get();
    if (!font) {
      source.fonts.push_back(std::make_unique<DigitFont>(source.device, fontName, folder + fontName));
      font = source.fonts.back().get();
      // Later numbers sharing the font stay quiet.
      if (!font->rect.texture) logImageProblem(keys::font(), fontName, font->imagePath);
    }
  }
  bindEffect(source.effects);
}

void NumberObject::Draw(IDirect3DDevice9* device, GaugeValueContext& context, float) {
  if (!font) return;
  const float v = readValue(context, valueId);
  bool invalid = false;
  const std::string text = formatNumber(format, v, &invalid);
  // Once per element, not once per frame: the log must not grow by the frame.
  if (invalid && !formatReported_) {
    formatReported_ = true;
    logText(std::string(FT("Gauges: no number format for ")) + section_);
  }
  // A font without its image draws nothing, so it must not use up a
  // show-once effect the next element sharing it needs.
  if (!font->loaded()) return;
  std::uint32_t c = colour;
  if (!passEffect(c)) return;
  const float a = angle * 0.017453292f;
  const float dirX = std::cos(a), dirY = std::sin(a);
  const float cell = font->cellWidth;
  float x = posX, y = posY;
  const float d = static_cast<float>(text.size()) * cell;
  const float back = alignment == 1 ? d : alignment == 2 ? d * 0.5f : 0.0f;
  x -= back * dirX;
  y -= back * dirY;
  // All cells of the number in one draw: they share the font's texture.
  UINT quads = 0;
  for (char ch : text) {
    if (ch != ' ') {
      const float left = font->offsetOf(ch);
      if (FAILED(buildRotatedQuad(&font->rect, c, x, y, left, 0.0f, left + cell, font->cellHeight, angle))) {
        logRectFailure();
      } else {
        quadAsTriangles(font->rect.vertices, &cells_[quads * 6]);
        if (++quads == kCellBatch) {
          drawTexturedQuadList(device, font->rect.texture, cells_, quads);
          quads = 0;
        }
      }
    }
    x += cell * dirX;
    y += cell * dirY;
  }
  drawTexturedQuadList(device, font->rect.texture, cells_, quads);
}

}  // namespace ostrel::gauges
