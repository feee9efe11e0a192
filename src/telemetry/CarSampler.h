#pragma once
// Reads one CarSample from the host's records through the gauges' value
// sources, so that telemetry and the dashboard gauges agree on every unit.
#include <cstdint>

#include "gauges/GaugeValueContext.h"
#include "telemetry/CarSample.h"

namespace ostrel::telemetry {

class CarSampler {
 public:
  // A new stage or car: the start distance is taken again at the next
  // sample and the car data file is read for the maximum engine speed;
  // `fallbackMaxRpm` serves where the file gives none (said once per car).
  void beginStage(float fallbackMaxRpm, float idleRpm);
  // The same stage and car from its start again: the start distance is
  // taken again at the next sample. Reads no file, allocates nothing.
  void restartStage() { context_.startCaptured = false; }
  CarSample sample(float runTime);

 private:
  gauges::GaugeValueContext context_;
  float maxRpm_ = 0.0f;
  float idleRpm_ = 0.0f;
  std::uint32_t carsToldNoMaximum_ = 0;  // a bit per car slot
};

}  // namespace ostrel::telemetry
