#include "hooks/GaugeRendererList.h"

#include <algorithm>
#include <vector>

#include "TextureHandler.h"
#include "hooks/HookState.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel {

void destroyGaugeRenderers() {
  std::vector<TextureHandler*>& list = hookState().gaugeRenderers;
  if (list.empty()) return;
  logText(std::string(FT("Gauges: dropping ")) + std::to_string(list.size()) + FT(" gauge renderer(s)"));
  for (TextureHandler* r : list) delete r;
  list.clear();
}

int releaseGaugeDeviceObjects(IDirect3DDevice9* device) {
  int released = 0;
  for (TextureHandler* r : hookState().gaugeRenderers) {
    if (!r || (device && !r->usesDevice(device)) || !r->holdsDeviceObjects()) continue;
    r->releaseDeviceObjects();
    ++released;
  }
  return released;
}

bool gaugeRenderersUse(IDirect3DDevice9* device) {
  for (const TextureHandler* r : hookState().gaugeRenderers)
    if (r && r->usesDevice(device)) return true;
  return false;
}

int dropGaugeRenderersNotOf(IDirect3DDevice9* device) {
  std::vector<TextureHandler*>& list = hookState().gaugeRenderers;
  int dropped = 0;
  for (TextureHandler*& r : list) {
    if (!r || r->usesDevice(device)) continue;
    // Its textures hold the old device: releasing them is safe and lets it go.
    delete r;
    r = nullptr;
    ++dropped;
  }
  list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
  return dropped;
}

TextureHandler* findGaugeRenderer(const std::string& definitionPath, const std::string& textureFileName) {
  for (TextureHandler* r : hookState().gaugeRenderers)
    if (r && r->definitionPath == definitionPath && r->textureFileName == textureFileName) return r;
  return nullptr;
}

void putGaugeRenderer(TextureHandler* old, TextureHandler* renderer) {
  std::vector<TextureHandler*>& list = hookState().gaugeRenderers;
  const auto at = std::find(list.begin(), list.end(), old);
  if (old && at != list.end()) {
    *at = renderer;
    delete old;
    return;
  }
  try {
    list.push_back(renderer);
  } catch (...) {
    delete renderer;
    throw;
  }
}

}  // namespace ostrel
