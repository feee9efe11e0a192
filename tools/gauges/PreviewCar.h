#pragma once
// The car a preview shows: host records as plain buffers behind
// host::pointers(), set by value name ("rpm=6500", "gear=3", "clock=14:05")
// so that the gauges read back exactly the value asked for. Windows-free.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "gauges/ValueSources.h"

namespace ostrel::preview {

class PreviewCar {
 public:
  PreviewCar();  // a parked car: engine warm, battery charged, no damage, gear 1, 12:00:00
  ~PreviewCar();
  PreviewCar(const PreviewCar&) = delete;
  PreviewCar& operator=(const PreviewCar&) = delete;

  // Sets one value by name; false with `error` for an unknown name or a text
  // that is not a number (or a time, for "clock").
  bool set(const std::string& name, const std::string& text, std::string& error);
  bool set(const std::string& name, double value, std::string& error);
  // Whether `name` is a settable name (value sources, conditions, the extras).
  static bool knows(const std::string& name);
  // Every settable name with what it sets, one per line, for --list.
  static std::string describeNames();

  // Shift tables and maximum engine speed from the text of a car data file.
  void readEngineText(const std::string& text);
  // Hands the renderer's value context what only it holds: shift points,
  // maximum engine speed, the driven distance and the clock. Call before every frame.
  void prepare(gauges::GaugeValueContext& context) const;

 private:
  bool setDerived(const std::string& name, double v);
  void install();

  std::vector<std::uint8_t> carState_, carObject_, damage_, engine_, valueBlock_;
  // Shift points, maximum engine speed, clock and distance driven: what the
  // value sources' preview setters change besides the records.
  gauges::PreviewCarValues car_;
};

}  // namespace ostrel::preview
