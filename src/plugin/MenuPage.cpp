#include "plugin/MenuPage.h"

#include <cstdio>
#include <string>

#include "plugin/FixedText.h"
#include "plugin/HostInterfaces.h"
#include "plugin/MenuLogic.h"
#include "plugin/PluginState.h"
#include "plugin/Version.h"

namespace ostrel {
namespace {

constexpr int kPageModes = 64;
constexpr int kTitleModes = 1;
constexpr int kTitleTextMode = 4;
constexpr int kTitleFont = 3;
constexpr int kBodyFont = 0;
constexpr float kRowTop = 50.0f;
constexpr float kRowHeight = 21.0f;

void drawEntries(IHostGame& host, const PluginState& state) {
  const int n = static_cast<int>(state.items.size());
  for (int r = 0; r < state.visibleRows && state.firstVisible + r < n; ++r) {
    const int i = state.firstVisible + r;
    if (i < 0) continue;
    const MenuItem& item = state.items[static_cast<std::size_t>(i)];
    const float y = kRowTop + kRowHeight * static_cast<float>(r);
    if (i == state.selected) {
      host.DrawHighlightBox(100.0f, y, 440.0f, kRowHeight);
      host.SetColor(1.0f, 1.0f, 1.0f, 1.0f);
    }
    host.WriteText(105.0f, y + 2.0f, item.label.c_str());
    const std::string value = menuValueText(item);
    host.WriteText(500.0f, y + 2.0f, value.c_str());
  }
  const char* description = "";
  if (state.selected >= 0 && state.selected < n)
    description = state.items[static_cast<std::size_t>(state.selected)].description.c_str();
  host.WriteText(100.0f, 400.0f, description);
}

}  // namespace

void drawMenuPage(IHostGame& host, const PluginState& state) {
  host.PrepareMenuPage(0, 0, 0, 0);
  host.BeginDrawModes(kPageModes);
  host.SelectTextMode(kTitleTextMode);
  host.SelectFont(kTitleFont);
  host.BeginDrawModes(kTitleModes);
  char title[128];
  std::snprintf(title, sizeof title, FT("OSTREL Heads-Up Display v%d.%d.%d.%d"), kPluginVersion[0],
                kPluginVersion[1], kPluginVersion[2], kPluginVersion[3]);
  host.WriteText(320.0f, 20.0f, title);
  host.EndDrawModes(kTitleModes);
  host.SelectFont(kBodyFont);
  host.SetColor(1.0f, 1.0f, 1.0f, 1.0f);
  host.WriteText(455.0f, 460.0f, FT("Left/Right: change value"));
  host.WriteText(515.0f, 440.0f, FT("Enter: save settings"));
  drawEntries(host, state);
  host.EndDrawModes(kPageModes);
}

void tickSaveFeedback(IHostGame* host, PluginState& state, float elapsed) {
  if (!(state.saveFeedbackTimer >= 0.0f)) return;
  state.saveFeedbackTimer -= elapsed;
  if (host) host->WriteText(280.0f, 460.0f, FT("SAVING CONFIGURATION"));
}

}  // namespace ostrel
