#pragma once
// A digit-strip font: one image of 13 equal cells "0123456789:.-", shared by
// every number element of a renderer that names the same file.
#include <d3d9.h>

#include <memory>
#include <string>
#include <vector>

#include "KVX/D3D9Helpers.h"

namespace ostrel::gauges {

class DigitFont {
 public:
  DigitFont(IDirect3DDevice9* device, const std::string& name, const std::string& imagePath);
  DigitFont(const DigitFont&) = delete;
  DigitFont& operator=(const DigitFont&) = delete;

  bool loaded() const { return rect.texture != nullptr; }
  // Horizontal pixel offset of a character's cell (the digit 0 for others).
  float offsetOf(char c) const { return offsets[static_cast<unsigned char>(c)]; }

  std::string name;
  std::string imagePath;
  IDirect3DDevice9* device = nullptr;
  TexturedRect rect;
  float cellWidth = 0.0f;
  float cellHeight = 0.0f;
  float offsets[256]{};
};

using FontList = std::vector<std::unique_ptr<DigitFont>>;

}  // namespace ostrel::gauges
