#include "panels/BestRunHUD.h"

#include <cmath>
#include <cstdio>

#include "gauges/GaugeValues.h"
#include "panels/HostState.h"
#include "plugin/FixedText.h"
#include "plugin/HostInterfaces.h"
#include "plugin/Log.h"
#include "plugin/Settings.h"

namespace ostrel {
namespace {

constexpr int kDrawModes = 0x43;
// The panel at Scale 1: 200 pixels wide, the bar's middle under the delta.
constexpr float kHalfWidth = 100.0f;
constexpr float kDeltaLine = 9.0f;
constexpr float kBarTop = 20.0f;
constexpr float kBarHeight = 6.0f;
constexpr float kTickTop = 17.0f;
constexpr float kTickHeight = 12.0f;
constexpr float kTimeLine = 38.0f;
constexpr float kNoteLine = 52.0f;

void setDeltaColour(IHostGame* host, int sign) {
  if (sign < 0) host->SetColor(0.0f, 1.0f, 0.0f, 1.0f);
  else if (sign > 0) host->SetColor(1.0f, 0.0f, 0.0f, 1.0f);
  else host->SetColor(1.0f, 1.0f, 1.0f, 1.0f);
}

}  // namespace

bestrun::StageSample sampleStage() {
  bestrun::StageSample s;
  const std::uint8_t* c = host::pointers().carStateBlock;
  s.onStage = c && host::gameMode() == host::kModeDrivingStage;
  if (!s.onStage) return s;
  s.paused = host::pauseWord() != 0;
  s.finished = host::finishedFlag() != 0;
  s.preStart = host::preStartTimer();
  s.stageTime = host::field<float>(c, host::kStageTimeOffset);
  s.distanceWord = host::field<float>(c, host::kDistance3Offset);
  s.speedKmh = host::field<float>(c, host::kSpeedOffset);
  s.carSlot = gauges::carSlot();
  return s;
}

BestRunHUD::BestRunHUD() : BasicHUD(FT("BestRunHUD")) {
  loadOwnKeys();
  bestrun::liveRecorder().setSource(&source_);
}

BestRunHUD::~BestRunHUD() {
  if (bestrun::liveRecorder().source() == &source_) bestrun::liveRecorder().setSource(nullptr);
}

void BestRunHUD::reload() {
  BasicHUD::reload();
  loadOwnKeys();
}

void BestRunHUD::loadOwnKeys() {
  const std::string file = settingsPath();
  const std::string section = FT("HUD");
  barRange = readSettingFloat(section, FT("BarRange"), 2.0f, file);
  if (!(barRange > 0.0f)) barRange = 2.0f;
  showBestTime = readSettingInt(section, FT("ShowBestTime"), 1, file);
  noBestSeconds = readSettingFloat(section, FT("NoBestSeconds"), 0.0f, file);
}

void BestRunHUD::follow() {
  bestrun::Recorder& r = bestrun::liveRecorder();
  r.frame(sampleStage());
  bestrun::publish(r);
  if (const std::uint32_t said = r.takeNotices()) {
    if (said & bestrun::kNoticeLengthZero)
      logText(FT("Best run: the stage's length reads 0; its distance is taken from the car's speed, and "
                 "every such stage shares one best per car"));
    if (said & bestrun::kNoticeDistanceStill)
      logText(FT("Best run: the stage's distance does not fall while the car moves; it is taken from the "
                 "car's speed instead"));
  }
}

void BestRunHUD::enteredMenu() {
  bestrun::Recorder& r = bestrun::liveRecorder();
  if (r.pendingWrite() && bestrun::writeBestFile(r.pendingBest())) r.written();
}

void BestRunHUD::draw(IHostGame* host) {
  if (!host) return;
  const bestrun::Recorder& r = bestrun::liveRecorder();
  const bool finished = r.phase() == bestrun::Phase::kFinished;
  const float cx = posX + kHalfWidth * scale;
  char text[48];
  if (!r.bestAvailable() || (finished && !(r.finishCounted() && r.previousBestTime() > 0.0f))) {
    // Nothing to measure against; at most a word at the start.
    if (r.phase() != bestrun::Phase::kRunning || !(r.stageTime() < noBestSeconds)) return;
    host->SelectTextMode(3);
    host->BeginDrawModes(kDrawModes);
    host->SelectFont(0);
    host->SetColor(1.0f, 1.0f, 1.0f, 1.0f);
    host->WriteText(cx, posY + kDeltaLine * scale, FT("no best yet"));
    host->EndDrawModes(kDrawModes);
    return;
  }
  if (!finished && !r.deltaValid()) return;
  const float delta = r.delta();
  const int sign = bestrun::formatDelta(delta, text, sizeof text);
  host->SelectTextMode(3);
  host->BeginDrawModes(kDrawModes);
  host->SelectFont(1);
  setDeltaColour(host, sign);
  host->WriteText(cx, posY + kDeltaLine * scale, text);
  // The bar from the middle: left ahead, right behind, full at BarRange.
  const float reach = std::fmin(1.0f, std::fabs(delta) / barRange);
  const int length = sign == 0 ? 0 : static_cast<int>(reach * kHalfWidth * scale + 0.5f);
  const int rows = static_cast<int>(kBarHeight * scale + 0.5f);
  for (int y = 0; y < rows; ++y)
    for (int x = 1; x <= length; ++x)
      host->DrawMarker(kMarkerGraphic, cx + static_cast<float>(sign < 0 ? -x : x), posY + kBarTop * scale + static_cast<float>(y));
  host->SetColor(1.0f, 1.0f, 1.0f, 1.0f);
  const int tick = static_cast<int>(kTickHeight * scale + 0.5f);
  for (int y = 0; y < tick; ++y) host->DrawMarker(kMarkerGraphic, cx, posY + kTickTop * scale + static_cast<float>(y));
  host->SelectFont(0);
  if (finished) {
    char run[24], best[24];
    bestrun::formatStageTime(r.finishTime(), run, sizeof run);
    bestrun::formatStageTime(r.previousBestTime(), best, sizeof best);
    std::snprintf(text, sizeof text, FT("%s  best %s"), run, best);
    host->WriteText(cx, posY + kTimeLine * scale, text);
    if (r.newBest()) {
      host->SetColor(0.0f, 1.0f, 0.0f, 1.0f);
      host->WriteText(cx, posY + kNoteLine * scale, FT("new best"));
    }
  } else if (showBestTime != 0) {
    char best[24];
    bestrun::formatStageTime(r.best().finishTime, best, sizeof best);
    std::snprintf(text, sizeof text, FT("best %s"), best);
    host->WriteText(cx, posY + kTimeLine * scale, text);
  }
  host->EndDrawModes(kDrawModes);
}

}  // namespace ostrel
