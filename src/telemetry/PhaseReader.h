#pragma once
// Reads a stage's phases from format A packets by the rules the tools that
// read this format follow, so the listener (and the tests) see what a
// player's tool will see:
//   start      stage time above 0, before the start or after an end
//   paused     a packet equal to the one before but for the run time, while
//              driving; resumed at the next one that is not
//   finished   laps completed reaching the total laps (as tools written for
//              lap-based games wait for), with the last lap's time as the
//              stage's time
//   over       stage time and distance back to 0, or a packet of zeros,
//              after the start
// Windows-free, header-only.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "telemetry/TelemetryPackets.h"

namespace ostrel::telemetry {

struct PhaseEvent {
  enum class Kind : std::uint8_t { kStart, kPause, kResume, kFinish, kOver };
  Kind kind = Kind::kStart;
  float stageTime = 0.0f;  // kFinish: the time read
  bool beforeStart = false;  // kFinish: seen before any start
};

class PhaseReader {
 public:
  // Reads one packet (anything but a format A packet is ignored); writes up
  // to two events into `out` and returns how many.
  int read(const std::uint8_t* p, std::size_t size, PhaseEvent out[2]) {
    if (size != kFormatASize) return 0;
    int n = 0;
    const float lapTime = at(p, kALapTime), distance = at(p, kALapDistance);
    bool zeros = true;
    for (std::size_t i = 0; i < size && zeros; ++i) zeros = p[i] == 0;
    const bool sameButRunTime = havePrevious_ && std::memcmp(p + 4, previous_ + 4, size - 4) == 0;
    std::memcpy(previous_, p, size);
    havePrevious_ = true;
    if (state_ == State::kPaused && !sameButRunTime) {
      state_ = State::kDriving;
      out[n++] = {PhaseEvent::Kind::kResume};
    }
    const bool afterStart = state_ == State::kDriving || state_ == State::kPaused || state_ == State::kFinished;
    if (afterStart && ((lapTime == 0.0f && distance == 0.0f) || zeros)) {
      state_ = State::kOver;
      out[n++] = {PhaseEvent::Kind::kOver};
      return n;
    }
    if ((state_ == State::kBefore || state_ == State::kOver) && lapTime > 0.0f) {
      state_ = State::kDriving;
      out[n++] = {PhaseEvent::Kind::kStart};
      return n;
    }
    if ((state_ == State::kBefore || state_ == State::kDriving) &&
        at(p, kALapsCompleted) >= at(p, kATotalLaps)) {
      const bool before = state_ == State::kBefore;
      state_ = State::kFinished;
      out[n++] = {PhaseEvent::Kind::kFinish, at(p, kALastLapTime), before};
      return n;
    }
    if (state_ == State::kDriving && sameButRunTime && n == 0) {
      state_ = State::kPaused;
      out[n++] = {PhaseEvent::Kind::kPause};
    }
    return n;
  }

 private:
  enum class State : std::uint8_t { kBefore, kDriving, kPaused, kFinished, kOver };
  static float at(const std::uint8_t* p, std::size_t offset) {
    float v;
    std::memcpy(&v, p + offset, sizeof v);
    return v;
  }
  State state_ = State::kBefore;
  bool havePrevious_ = false;
  std::uint8_t previous_[kFormatASize] = {};
};

}  // namespace ostrel::telemetry
