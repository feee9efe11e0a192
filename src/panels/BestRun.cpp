#include "panels/BestRun.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "plugin/FixedText.h"

namespace ostrel::bestrun {
namespace {

// A run started at stage time 0 at distance 0; steps reached past the
// stage's length (the finish line may lie a little beyond) still fit.
std::int32_t stepsFor(float lengthMetres) {
  const float length = lengthMetres > 0.5f ? lengthMetres : kUnknownLengthMetres;
  const float margin = std::fmax(50.0f, length * 0.05f);
  return static_cast<std::int32_t>((length + margin) / kStepMetres) + 2;
}

// A frame's stage time may jump (the host writes the result at the finish):
// the speed is integrated over at most this much of it.
constexpr float kLongestIntegratedStep = 0.5f;
// The distance word is trusted once the car moved this far by its speed.
constexpr float kStillCheckMetres = 20.0f;

// Milliseconds as "S.mmm".
void formatMillis(float seconds, char* out, std::size_t size) {
  const long long ms = std::llround(static_cast<double>(seconds) * 1000.0);
  std::snprintf(out, size, "%lld.%03lld", ms / 1000, ms % 1000);
}

// "123" or "123.456" (at most three decimals), nothing else.
bool readNumber(std::string_view text, double& value) {
  if (text.empty() || text.size() > 16) return false;
  double whole = 0.0, fraction = 0.0, scale = 1.0;
  std::size_t i = 0;
  bool digits = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, digits = true) whole = whole * 10 + (text[i] - '0');
  if (!digits) return false;
  if (i < text.size()) {
    if (text[i] != '.' || i + 1 == text.size() || text.size() - i - 1 > 3) return false;
    for (++i; i < text.size(); ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      scale /= 10.0;
      fraction += (text[i] - '0') * scale;
    }
  }
  value = whole + fraction;
  return true;
}

// The next line of `text` from `at`, without its line end; false at the end.
bool nextLine(std::string_view text, std::size_t& at, std::string_view& line) {
  if (at >= text.size()) return false;
  std::size_t end = text.find('\n', at);
  if (end == std::string_view::npos) end = text.size();
  line = text.substr(at, end - at);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  at = end + 1;
  return true;
}

std::string keyLine(const RunKey& key) {
  char line[96];
  std::snprintf(line, sizeof line, FT("key stage=%dm car=%d step=%dm"), static_cast<int>(key.stageMetres),
                static_cast<int>(key.car) + 1, static_cast<int>(kStepMetres));
  return line;
}

}  // namespace

RunKey keyFor(float lengthMetres, std::int32_t carSlot) {
  RunKey k;
  k.stageMetres = lengthMetres > 0.5f && lengthMetres < 1.0e7f ? static_cast<std::int32_t>(std::lround(lengthMetres)) : 0;
  k.car = carSlot;
  return k;
}

bool RunTable::timeAt(float metres, float& seconds) const {
  if (!valid || steps <= 0 || metres < 0.0f) return false;
  const float at = metres / kStepMetres;
  const auto i = static_cast<std::int32_t>(at);
  if (i >= steps - 1) {
    if (i == steps - 1 && at == static_cast<float>(i)) {
      seconds = times[static_cast<std::size_t>(i)];
      return true;
    }
    return false;
  }
  const float f = at - static_cast<float>(i);
  seconds = times[static_cast<std::size_t>(i)] + f * (times[static_cast<std::size_t>(i) + 1] - times[static_cast<std::size_t>(i)]);
  return true;
}

// ---- The best file ----

std::string bestFileName(const RunKey& key) {
  char name[64];
  std::snprintf(name, sizeof name, FT("stage-%dm-car%d.txt"), static_cast<int>(key.stageMetres),
                static_cast<int>(key.car) + 1);
  return name;
}

std::string formatBestFile(const RunTable& run) {
  std::string text = FT("OSTREL best run 1\r\n");
  text += keyLine(run.key) + FT("\r\n");
  char number[32];
  formatMillis(run.finishTime, number, sizeof number);
  text += std::string(FT("time ")) + number + FT("\r\n");
  text += std::string(FT("steps ")) + std::to_string(run.steps) + FT("\r\n");
  for (std::int32_t i = 0; i < run.steps; ++i) {
    formatMillis(run.times[static_cast<std::size_t>(i)], number, sizeof number);
    text += std::to_string(static_cast<long>(i * static_cast<std::int32_t>(kStepMetres))) + " " + number + FT("\r\n");
  }
  text += FT("end\r\n");
  return text;
}

const char* fileProblemText(FileProblem problem) {
  switch (problem) {
    case FileProblem::kNone: return FT("is a best run file");
    case FileProblem::kNotABestFile: return FT("is not a best run file");
    case FileProblem::kOtherKey: return FT("was written for another stage, car or rule");
    case FileProblem::kTruncated: return FT("is cut short");
    case FileProblem::kOutOfOrder: return FT("has its step lines out of order");
    default: return FT("holds a value that is not a number");
  }
}

FileProblem parseBestFile(std::string_view text, const RunKey& expected, RunTable& into) {
  into.valid = false;
  into.steps = 0;
  std::size_t at = 0;
  std::string_view line;
  if (!nextLine(text, at, line)) return FileProblem::kTruncated;
  if (line != FT("OSTREL best run 1")) return FileProblem::kNotABestFile;
  if (!nextLine(text, at, line)) return FileProblem::kTruncated;
  if (line != keyLine(expected)) return FileProblem::kOtherKey;
  double finish = 0.0, count = 0.0;
  if (!nextLine(text, at, line)) return FileProblem::kTruncated;
  if (line.substr(0, 5) != FT("time ") || !readNumber(line.substr(5), finish)) return FileProblem::kBadNumber;
  if (!nextLine(text, at, line)) return FileProblem::kTruncated;
  if (line.substr(0, 6) != FT("steps ") || !readNumber(line.substr(6), count) || count != std::floor(count) ||
      count < 1 || count > stepsFor(static_cast<float>(expected.stageMetres)))
    return FileProblem::kBadNumber;
  const auto steps = static_cast<std::int32_t>(count);
  if (into.times.size() < static_cast<std::size_t>(steps)) into.times.resize(static_cast<std::size_t>(steps));
  double previous = 0.0;
  for (std::int32_t i = 0; i < steps; ++i) {
    if (!nextLine(text, at, line)) return FileProblem::kTruncated;
    if (line == FT("end")) return FileProblem::kTruncated;
    const std::size_t space = line.find(' ');
    double metres = 0.0, time = 0.0;
    if (space == std::string_view::npos || !readNumber(line.substr(0, space), metres) ||
        !readNumber(line.substr(space + 1), time))
      return FileProblem::kBadNumber;
    if (metres != static_cast<double>(i) * kStepMetres || time < previous) return FileProblem::kOutOfOrder;
    into.times[static_cast<std::size_t>(i)] = static_cast<float>(time);
    previous = time;
  }
  if (finish < previous) return FileProblem::kOutOfOrder;
  if (!nextLine(text, at, line)) return FileProblem::kTruncated;
  if (line != FT("end")) return FileProblem::kOutOfOrder;  // more step lines than it says
  into.key = expected;
  into.finishTime = static_cast<float>(finish);
  into.steps = steps;
  into.valid = true;
  return FileProblem::kNone;
}

// ---- Following the stage ----

bool nearTheLength(float driven, float length) {
  if (length <= 0.5f) return true;  // no length to compare with: the flag alone
  return driven >= length - std::fmax(20.0f, length * 0.02f);
}

void Recorder::notice(Notice n) {
  if (saidNotices_ & n) return;
  saidNotices_ |= n;
  newNotices_ |= n;
}

void Recorder::ensureBest(const RunKey& key) {
  if (keyKnown_ && key == key_) return;
  key_ = key;
  keyKnown_ = true;
  // A best of another key still waiting to be written is dropped with it:
  // the game passes through the menu (where it is written) between stages.
  pending_ = false;
  best_.valid = false;
  best_.steps = 0;
  // Both tables get the whole stage's room now, so that neither a file read
  // nor a later run grows them.
  const auto room = static_cast<std::size_t>(stepsFor(static_cast<float>(key.stageMetres)));
  if (best_.times.size() < room) best_.times.resize(room);
  if (run_.times.size() < room) run_.times.resize(room);
  if (source_ && source_->read(key, best_)) best_.key = key;
  else best_.valid = false;
}

void Recorder::begin(const StageSample& s) {
  startWord_ = armed_ ? armedWord_ : s.distanceWord;
  ensureBest(keyFor(startWord_, s.carSlot));
  const std::size_t steps = static_cast<std::size_t>(stepsFor(static_cast<float>(key_.stageMetres)));
  // Room for the whole stage; kept between runs, so grown only by a longer stage.
  if (run_.times.size() < steps) run_.times.resize(steps);
  run_.key = key_;
  run_.valid = false;
  run_.steps = 1;
  run_.times[0] = 0.0f;
  driven_ = wordDriven_ = speedDriven_ = 0.0f;
  integrate_ = key_.stageMetres == 0;
  if (integrate_) notice(kNoticeLengthZero);
  deltaValid_ = false;
  delta_ = 0.0f;
  lastTime_ = 0.0f;
  finishCounted_ = newBest_ = false;
  finishTime_ = 0.0f;
  phase_ = Phase::kRunning;
}

void Recorder::record(float fromMetres, float fromTime, float toMetres, float toTime) {
  const auto room = static_cast<std::int32_t>(run_.times.size());
  while (run_.steps < room) {
    const float stepAt = static_cast<float>(run_.steps) * kStepMetres;
    if (stepAt > toMetres) break;
    const float span = toMetres - fromMetres;
    const float f = span > 0.0f ? (stepAt - fromMetres) / span : 1.0f;
    run_.times[static_cast<std::size_t>(run_.steps)] = fromTime + std::fmin(1.0f, std::fmax(0.0f, f)) * (toTime - fromTime);
    ++run_.steps;
  }
}

void Recorder::advance(const StageSample& s) {
  const float dt = s.stageTime - lastTime_;
  speedDriven_ += std::fmax(0.0f, s.speedKmh) / 3.6f * std::fmin(dt, kLongestIntegratedStep);
  wordDriven_ = std::fmax(wordDriven_, startWord_ - s.distanceWord);
  if (!integrate_ && speedDriven_ >= kStillCheckMetres && wordDriven_ < 1.0f) {
    integrate_ = true;
    notice(kNoticeDistanceStill);
  }
  const float now = integrate_ ? speedDriven_ : wordDriven_;
  const float previous = driven_;
  driven_ = std::fmax(driven_, now);
  record(previous, lastTime_, driven_, s.stageTime);
  lastTime_ = s.stageTime;
  float bestThere = 0.0f;
  if (best_.valid && best_.timeAt(driven_, bestThere)) {
    delta_ = s.stageTime - bestThere;
    deltaValid_ = true;
  }
}

void Recorder::finish(const StageSample& s) {
  phase_ = Phase::kFinished;
  finishTime_ = s.stageTime;
  lastTime_ = s.stageTime;
  previousBest_ = best_.valid ? best_.finishTime : 0.0f;
  finishCounted_ = s.stageTime > 0.0f && nearTheLength(driven_, static_cast<float>(key_.stageMetres));
  if (!finishCounted_) return;
  if (best_.valid) {
    delta_ = finishTime_ - best_.finishTime;
    deltaValid_ = true;
  }
  if (best_.valid && !(finishTime_ < best_.finishTime)) return;
  run_.finishTime = finishTime_;
  run_.valid = true;
  std::swap(run_, best_);
  run_.valid = false;
  newBest_ = true;
  pending_ = true;
}

void Recorder::frame(const StageSample& s) {
  if (!s.onStage) {
    phase_ = Phase::kIdle;
    armed_ = false;
    deltaValid_ = false;
    return;
  }
  if (s.paused) return;  // the host's values mean nothing while paused
  if (phase_ == Phase::kIdle) {
    phase_ = Phase::kWaiting;
    armed_ = false;
  }
  if ((phase_ == Phase::kRunning || phase_ == Phase::kFinished) && s.stageTime < lastTime_) {
    phase_ = Phase::kWaiting;  // a restart: the run so far counts for nothing
    armed_ = false;
    deltaValid_ = false;
  }
  if (phase_ == Phase::kWaiting) {
    if (s.preStart > 0.0f || s.stageTime <= 0.0f) {
      // Before the start: the distance word holds the stage's length. The
      // best is looked up on the first such frame (and again at the start
      // only if the length changed meanwhile), never frame by frame.
      if (!armed_) ensureBest(keyFor(s.distanceWord, s.carSlot));
      armedWord_ = s.distanceWord;
      armed_ = true;
      return;
    }
    if (s.finished) return;  // a finish from before: wait for a new start
    begin(s);
  }
  if (phase_ == Phase::kRunning) {
    advance(s);
    if (s.finished) finish(s);
  } else if (phase_ == Phase::kFinished) {
    lastTime_ = s.stageTime;
  }
}

// ---- What the panel and the gauges read ----

Recorder& liveRecorder() {
  static Recorder recorder;
  return recorder;
}

LiveValues& liveValues() {
  static LiveValues values;
  return values;
}

void publish(const Recorder& r) {
  LiveValues& v = liveValues();
  v.available = r.bestAvailable();
  v.delta = v.available ? r.delta() : 0.0f;
  v.bestTime = v.available ? r.best().finishTime : 0.0f;
}

float deltaSeconds() { return liveValues().delta; }
float bestStageTime() { return liveValues().bestTime; }
bool bestAvailable() { return liveValues().available; }

int formatDelta(float seconds, char* out, std::size_t size) {
  const long long hundredths = std::llround(static_cast<double>(seconds) * 100.0);
  const long long magnitude = hundredths < 0 ? -hundredths : hundredths;
  const char* sign = hundredths < 0 ? "-" : hundredths > 0 ? "+" : "";
  std::snprintf(out, size, "%s%lld.%02lld", sign, magnitude / 100, magnitude % 100);
  return hundredths < 0 ? -1 : hundredths > 0 ? 1 : 0;
}

void formatStageTime(float seconds, char* out, std::size_t size) {
  const long long hundredths = std::llround(std::fmax(0.0, static_cast<double>(seconds)) * 100.0);
  const long long minutes = hundredths / 6000, rest = hundredths % 6000;
  if (minutes > 0)
    std::snprintf(out, size, "%lld:%02lld.%02lld", minutes, rest / 100, rest % 100);
  else
    std::snprintf(out, size, "%lld.%02lld", rest / 100, rest % 100);
}

}  // namespace ostrel::bestrun
