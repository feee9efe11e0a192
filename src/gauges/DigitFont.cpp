#include "gauges/DigitFont.h"

#include "plugin/WideText.h"

namespace ostrel::gauges {

DigitFont::DigitFont(IDirect3DDevice9* dev, const std::string& fontName, const std::string& path)
    : name(fontName), imagePath(path), device(dev) {
  if (FAILED(loadTexturedRect(device, widen(path), 0.0f, 0.0f, 0.0f, 0.0f, &rect))) {
    rect.release();  // the number element that made the font reports it
    return;
  }
  cellWidth = static_cast<float>(rect.width) / 13.0f;
  cellHeight = static_cast<float>(rect.height);
  const char cells[13] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', ':', '.', '-'};
  for (int k = 0; k < 13; ++k) offsets[static_cast<unsigned char>(cells[k])] = k * cellWidth;
}

}  // namespace ostrel::gauges
