#pragma once
// The car's values as one frame of telemetry carries them, in the units the
// packets use: metres, metres per second, revolutions per minute, degrees
// Celsius, bar, seconds. Filled from the gauges' value sources, so a unit
// means the same on a dashboard texture and on a player's phone.
// Windows-free.
#include <cstdint>

namespace ostrel::telemetry {

struct CarSample {
  float runTime = 0.0f;      // since telemetry began; counts on while paused
  float stageTime = 0.0f;    // 0 before the start
  float driven = 0.0f;       // metres since the start
  float stageLength = 0.0f;  // metres, 0 where unknown
  float speed = 0.0f;        // m/s
  float wheelSpeed = 0.0f;   // m/s; the host gives one value for all four wheels
  float engineSpeed = 0.0f;  // rpm
  float maxEngineSpeed = 0.0f;
  float idleEngineSpeed = 0.0f;
  std::int32_t gearIndex = 0;  // the host's gear index 0..7
  float waterTemp = 0.0f;      // degrees Celsius
  float oilTemp = 0.0f;
  float oilPressure = 0.0f;  // bar
  float boost = 0.0f;        // bar
  bool turboPresent = false;
  bool shiftLight = false;
  bool batteryWarning = false;
  bool overheat = false;
  std::int32_t carSlot = 0;  // 0..7

  // The stage as one lap, the way tools of lap-based games read the end of
  // a stage: set by the sender from the host's finished flag.
  bool onStage = false;     // a stage is under way: one lap to drive
  bool finished = false;    // the host said the stage is finished
  float finishTime = 0.0f;  // the stage time at the finish

  // Progress through the stage, 0..1 (0 where the length is unknown).
  float progress() const;
};

}  // namespace ostrel::telemetry
