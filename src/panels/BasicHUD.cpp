#include "panels/BasicHUD.h"

#include <chrono>

#include "panels/HostState.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"
#include "plugin/Settings.h"
#include "plugin/SteadyClock.h"

namespace ostrel {

BasicHUD::BasicHUD(std::string panelName) : name(std::move(panelName)) {
  BasicHUD::loadLayout();
  BasicHUD::loadShowFlags();
}

BasicHUD::BasicHUD(std::string panelName, NoLoad) : name(std::move(panelName)) {}

std::string BasicHUD::settingsPath() const { return settingsFilePath(name); }

void BasicHUD::reload() {
  loadLayout();
  loadShowFlags();
}

void BasicHUD::loadLayout() {
  const std::string file = settingsPath();
  const std::string section = FT("HUD");
  posX = readSettingFloat(section, FT("PosX"), 0.0f, file);
  posY = readSettingFloat(section, FT("PosY"), 0.0f, file);
  scale = readSettingFloat(section, FT("Scale"), 1.0f, file);
  enabled = readSettingInt(section, FT("Enabled"), 0, file);
}

void BasicHUD::loadShowFlags() {
  showFlags = 0;
  const std::string file = settingsPath();
  logText(std::string(FT("Loading show flags from ")) + file);
  const std::string section = FT("HUD");
  const char* keys[7] = {FT("ShowBeforeStart"), FT("ShowWhileDriving"), FT("ShowAfterFinish"),
                         FT("ShowInMode2"),     FT("ShowInMode8"),      FT("ShowInMode10"),
                         FT("ShowAfterEvent")};
  for (int bit = 0; bit < 7; ++bit)
    if (readSettingInt(section, keys[bit], 0, file) != 0) showFlags |= 1u << bit;
  logText(std::string(FT("Show flags: ")) + std::to_string(showFlags));
}

bool BasicHUD::isVisible() {
  if (enabled == 0) return false;
  const std::int32_t m = host::gameMode();
  if (m == host::kModeDrivingStage) {
    if (host::preStartTimer() > 0.0f) {
      if (showFlags & ShowBeforeStart) return true;
    } else if (host::finishedFlag() != 0) {
      if (showFlags & ShowAfterFinish) return true;
    } else if (host::pauseWord() == 0) {
      if (showFlags & ShowWhileDriving) return true;
    }
  }
  if ((showFlags & ShowInMode2) && m == host::kModeShowInMode2) return true;
  if ((showFlags & ShowInMode10) && m == host::kModeShowInMode10) return true;
  if ((showFlags & ShowInMode8) && m == host::kModeShowInMode8) return true;
  if (!(showFlags & ShowAfterEvent)) return false;
  if (m != host::kModeDrivingStage) {
    eventTime = 0.0f;
    return false;
  }
  if (host::eventFlag() != 0 && host::eventCode() == host::kEventCodeShowAfterEvent) {
    eventTime = host::hostClock();
    return true;
  }
  if (eventTime == 0.0f) return false;
  return host::hostClock() - eventTime < 5.0f;
}

void BasicHUD::stepBlink() {
  using clock = std::chrono::steady_clock;
  static clock::time_point periodStart;
  static bool started = false;
  const clock::time_point now = steadyNow();
  if (!started) {
    started = true;
    periodStart = now;
  }
  const double d = secondsBetween(periodStart, now);
  if (d >= 1.0) {
    periodStart = now;
    blinkOn = false;
  } else if (d >= 0.5) {
    blinkOn = false;
  } else {
    blinkOn = true;
  }
}

}  // namespace ostrel
