#include "gauges/TextureObject.h"

#include <windows.h>

#include "gauges/GaugeKeywords.h"
#include "gauges/GaugeLint.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/Settings.h"
#include "plugin/WideText.h"

namespace ostrel::gauges {

std::string folderOf(const std::string& path) {
  std::size_t end = path.find_last_of("\\/");
  if (end == std::string::npos) return "./";
  std::size_t keep = end;
  while (keep > 0 && (path[keep - 1] == '\\' || path[keep - 1] == '/')) --keep;
  if (keep == 0) return "/";
  return path.substr(0, keep) + "/";
}

TextureObject::TextureObject(const std::string& section, const std::string& file)
    : section_(section) {
  posX = readSettingFloat(section, keys::posX(), 0.0f, file);
  posY = readSettingFloat(section, keys::posY(), 0.0f, file);
  valueId = gaugeValueIdFromKeyword(readSettingTextLower(section, keys::valueSource(), "", file));
  folder = folderOf(file);
  definitionFile = file;
  colour = readSettingHex(section, keys::colour(), 0xFFFFFFFFu, file);
}

void TextureObject::bindEffect(const EffectList& effects) {
  const std::string wanted = readSettingTextLower(section_, keys::effectName(), "", definitionFile);
  effect = nullptr;
  if (wanted.empty()) return;
  for (const auto& e : effects) {
    if (e && e->name == wanted) {
      effect = e.get();
      logText(std::string(FT("Gauges: element ")) + section_ + FT(" uses effect ") + wanted);
      return;
    }
  }
}

bool TextureObject::loadImage(IDirect3DDevice9* device, const std::string& key, TexturedRect& rect) {
  const std::string name = readSettingText(section_, key, "", definitionFile);
  if (name.empty()) return false;
  const std::string path = folder + name;
  if (FAILED(loadTexturedRect(device, widen(path), 0.0f, 0.0f, 0.0f, 0.0f, &rect))) {
    logImageProblem(key, name, path);
    rect.release();
    return false;
  }
  return true;
}

void TextureObject::logImageProblem(const std::string& key, const std::string& name, const std::string& path) {
  const bool exists = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  char full[MAX_PATH] = {};
  const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  const std::string shown = n > 0 && n < MAX_PATH ? std::string(full, n) : path;
  const LintMessage m{true, definitionFile, section_, key,
                      imageProblemText(name, exists ? ImageState::Undecodable : ImageState::Missing)};
  logText(m.line() + ": " + shown);
}

bool TextureObject::passEffect(std::uint32_t& drawColour) {
  return effect == nullptr || effect->apply(drawColour);
}

void TextureObject::logRectFailure() {
  logText(std::string(FT("Gauges: quad could not be built for ")) + section_);
}

void TextureObject::drawImage(IDirect3DDevice9* device, TexturedRect& rect, float x, float y) {
  if (!rect.texture) return;
  std::uint32_t c = colour;
  if (!passEffect(c)) return;
  if (FAILED(D3D9CreateRectangleVertexTex2D(rect.vertices, x, y, static_cast<float>(rect.width),
                                            static_cast<float>(rect.height), c))) {
    logRectFailure();
    return;
  }
  drawTexturedQuad(device, rect);
}

void TextureObject::readCalibration(std::vector<float>& angles, std::vector<float>& values) {
  const std::string& file = definitionFile;
  if (!readSettingText(section_, keys::rangeForm(), "", file).empty()) {
    angles.push_back(readSettingFloat(section_, keys::angleMin(), 0.0f, file));
    angles.push_back(readSettingFloat(section_, keys::angleMax(), 0.0f, file));
    values.push_back(readSettingFloat(section_, keys::valueMin(), 0.0f, file));
    values.push_back(readSettingFloat(section_, keys::valueMax(), 0.0f, file));
    logText(std::string(FT("Gauges: ")) + section_ + FT(" calibrated by its range"));
    return;
  }
  logText(std::string(FT("Gauges: ")) + section_ + FT(" reads its calibration points"));
  for (int i = 0;; ++i) {
    const std::string angleKey = keys::anglePoint() + std::to_string(i);
    const std::string valueKey = keys::valuePoint() + std::to_string(i);
    if (readSettingText(section_, angleKey, "", file).empty() ||
        readSettingText(section_, valueKey, "", file).empty())
      break;
    const float a = readSettingFloat(section_, angleKey, -1.0f, file);
    const float v = readSettingFloat(section_, valueKey, -1.0f, file);
    angles.push_back(a);
    values.push_back(v);
    logText(std::string(FT("Gauges: ")) + section_ + FT(" point ") + std::to_string(i) + FT(": angle ") +
            std::to_string(a) + FT(", value ") + std::to_string(v));
  }
}

}  // namespace ostrel::gauges
