#pragma once
// What some gauge values need beyond host memory: the car's shift points and
// maximum engine speed, the start distance, and the wall clock read once per
// rendered frame. One per renderer. Windows-free.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace ostrel::gauges {

struct GaugeValueContext {
  std::vector<float> upshiftRpm;
  std::vector<float> downshiftRpm;
  float maxRpm = 0.0f;
  bool startCaptured = false;
  float startValue = 0.0f;
  std::tm clock{};
  bool clockValid = false;

  // Shift point of gear index g, 0 when the table has none.
  float upshiftAt(std::int32_t g) const;
  float downshiftAt(std::int32_t g) const;
  // Local time, read from the system clock on the first use in a frame.
  const std::tm& localClock();
  // Called by the renderer after every frame.
  void endFrame() { clockValid = false; }
};

// Fills a shift table (8 entries, one per gear index) and maxRpm from the text
// of a car data file: lines "<key> <value>", keys compared without case.
// `up` picks the up-shift keys, else the down-shift keys.
void parseShiftTable(const std::string& fileText, bool up, std::vector<float>& table, float& maxRpm);

// The key of gear index i in the car data file ("Gear<i>Up" / "Gear<i>Down").
std::string shiftKey(int gearIndex, bool up);

}  // namespace ostrel::gauges
