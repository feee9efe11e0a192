#pragma once
// The phases of a stage as the formats with phases tell them to tools:
//
//   before the start   the stage's values, stage time 0; one lap to drive
//   driving            stage time above 0
//   paused             the last values again, only the run time counting on
//   finished           from the host's finished flag: the lap completed, the
//                      stage time at the finish as the last lap's time
//   over               kEndPackets packets with stage time and distance 0
//                      (the result and the engine speeds kept), then nothing
//
// The stage is over for the player once the result has been shown for
// kResultSeconds after the finish, at a return to the menus, when the car
// goes away, and at a restart (the stage time going back while driving),
// after which the new stage is sent from its start. Times are seconds on
// any clock the caller keeps. Windows-free, allocation-free.
#include <cstdint>

#include "telemetry/CarSample.h"
#include "telemetry/TelemetryPackets.h"

namespace ostrel::telemetry {

class StagePhases {
 public:
  // Enough that a lost packet or two still leaves tools an end.
  static constexpr int kEndPackets = 5;
  // How long the result is sent after the finish before the end.
  static constexpr double kResultSeconds = 3.0;
  static constexpr double kRoundingSlack = 1e-6;

  enum class Send : std::uint8_t { kNothing, kStage, kOver };

  // The car is on a stage (again): a new stage, sent from its start. An end
  // still being sent is sent in full first.
  void begin() {
    finished_ = false;
    finishTime_ = 0.0f;
    lastStageTime_ = 0.0f;
    if (state_ == State::kEnding) resumeAfterEnd_ = true;
    else state_ = State::kOn;
  }
  // The car left the stage (the menus, no car): its end is sent if it was
  // under way.
  void leave(const CarSample& last) {
    if (underway()) startEnd(last, false);
    else if (state_ == State::kEnding) resumeAfterEnd_ = false;
    else state_ = State::kIdle;
  }
  // A new sample of the car on the stage (not paused), with the host's
  // finished flag: fills the sample's lap fields. True when the stage
  // restarted (the caller takes the start distance again).
  bool sampled(CarSample& car, bool finishedFlag, double now) {
    bool restarted = false;
    if (state_ != State::kIdle && car.stageTime < lastStageTime_) {
      restarted = true;
      const bool wasUnderway = underway();
      finished_ = false;
      finishTime_ = 0.0f;
      if (wasUnderway) startEnd(previous_, true);
      else if (state_ == State::kEnding) resumeAfterEnd_ = true;
      else state_ = State::kOn;
    }
    lastStageTime_ = car.stageTime;
    if (finishedFlag && state_ == State::kOn && car.stageTime > 0.0f) {
      finished_ = true;
      finishTime_ = car.stageTime;
      finishedAt_ = now;
      state_ = State::kFinished;
    }
    car.onStage = true;
    car.finished = finished_;
    car.finishTime = finishTime_;
    previous_ = car;
    return restarted;
  }
  // What the next due packet is: the stage's values, its end, or nothing.
  // Counts the end's packets; `now` ends the result's time.
  Send next(double now) {
    // Both times are seconds since telemetry began, as doubles: a result
    // shown for exactly kResultSeconds can come out a rounding short of it.
    if (state_ == State::kFinished && now - finishedAt_ + kRoundingSlack >= kResultSeconds) startEnd(previous_, false);
    switch (state_) {
      case State::kOn:
      case State::kFinished:
        return Send::kStage;
      case State::kEnding:
        if (--endsLeft_ <= 0) state_ = resumeAfterEnd_ ? State::kOn : State::kSilent;
        return Send::kOver;
      default:
        return Send::kNothing;
    }
  }
  // Its end is still being sent (packets are due off the stage too).
  bool ending() const { return state_ == State::kEnding; }
  // The packet that tells the end (its run time set by the caller).
  const CarSample& endPacket() const { return end_; }

 private:
  enum class State : std::uint8_t { kIdle, kOn, kFinished, kEnding, kSilent };
  bool underway() const { return state_ == State::kOn || state_ == State::kFinished; }
  void startEnd(const CarSample& from, bool resume) {
    end_ = stageOver(from);
    endsLeft_ = kEndPackets;
    resumeAfterEnd_ = resume;
    state_ = State::kEnding;
  }

  State state_ = State::kIdle;
  bool finished_ = false;
  bool resumeAfterEnd_ = false;
  float finishTime_ = 0.0f;
  float lastStageTime_ = 0.0f;
  double finishedAt_ = 0.0;
  int endsLeft_ = 0;
  CarSample previous_;
  CarSample end_;
};

}  // namespace ostrel::telemetry
