#include "hooks/GaugeRendererList.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "TextureHandler.h"
#include "gauges/CheckedSets.h"
#include "hooks/HookState.h"
#include "hooks/RendererLock.h"
#include "hooks/TextureLoadHook.h"
#include "panels/HostState.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel {
namespace {

std::vector<std::unique_ptr<TextureHandler>>& renderers() { return hookState().gaugeRenderers; }

}  // namespace

void destroyGaugeRenderers() {
  auto& list = renderers();
  if (list.empty()) return;
  logText(std::string(FT("Gauges: dropping ")) + std::to_string(list.size()) + FT(" gauge renderer(s)"));
  list.clear();
}

int releaseGaugeDeviceObjects(IDirect3DDevice9* device) {
  int released = 0;
  for (const auto& r : renderers()) {
    if (!r || (device && !r->usesDevice(device)) || !r->holdsDeviceObjects()) continue;
    r->releaseDeviceObjects();
    ++released;
  }
  return released;
}

bool gaugeRenderersUse(IDirect3DDevice9* device) {
  for (const auto& r : renderers())
    if (r && r->usesDevice(device)) return true;
  return false;
}

int dropGaugeRenderersNotOf(IDirect3DDevice9* device) {
  auto& list = renderers();
  int dropped = 0;
  for (auto& r : list) {
    if (!r || r->usesDevice(device)) continue;
    // Its textures hold the old device: releasing them is safe and lets it go.
    r.reset();
    ++dropped;
  }
  list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
  return dropped;
}

void rebuildGaugeRenderers() {
  gauges::forgetLoadedSets();  // the author may have edited them: check again
  // The renderers' image loads never come back into the texture hook.
  const TextureHookBypass bypass;
  // Made anew outside the lock (their images load through the host's
  // texture function), each put in its old one's place unless that went
  // meanwhile.
  struct Remade {
    TextureHandler* old;
    TextureHandler::RemakeSpec spec;
    std::unique_ptr<TextureHandler> fresh;
  };
  std::vector<Remade> remade;
  {
    const RendererLock lock;
    for (const auto& r : renderers())
      if (r) remade.push_back({r.get(), r->remakeSpec(host::pointers().device), nullptr});
  }
  for (Remade& m : remade) m.fresh = m.spec.make();
  const RendererLock lock;
  auto& list = renderers();
  for (Remade& m : remade) {
    const auto at = std::find_if(list.begin(), list.end(), [&](const auto& r) {
      return r.get() == m.old && r->matches(m.spec.definitionPath, m.spec.textureFileName);
    });
    if (at != list.end()) *at = std::move(m.fresh);
  }
}

IDirect3DDevice9* gaugeRenderDevice() {
  if (host::pointers().device) return host::pointers().device;
  for (const auto& r : renderers())
    if (r && r->drawingDevice()) return r->drawingDevice();
  return nullptr;
}

TextureHandler* findGaugeRenderer(const std::string& definitionPath, const std::string& textureFileName) {
  for (const auto& r : renderers())
    if (r && r->matches(definitionPath, textureFileName)) return r.get();
  return nullptr;
}

void putGaugeRenderer(TextureHandler* old, std::unique_ptr<TextureHandler> renderer) {
  auto& list = renderers();
  const auto at = std::find_if(list.begin(), list.end(), [&](const auto& r) { return old && r.get() == old; });
  if (at != list.end()) {
    *at = std::move(renderer);
    return;
  }
  list.push_back(std::move(renderer));
}

}  // namespace ostrel
