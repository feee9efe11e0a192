#include "PreviewCar.h"

#include <cmath>
#include <cstring>

#include "gauges/GaugeLint.h"
#include "gauges/GaugeValueId.h"
#include "gauges/ValueSources.h"
#include "panels/HostState.h"
#include "plugin/NumberText.h"

namespace ostrel::preview {
namespace {

// Names beyond the value sources: what the host holds but no gauge shows as such.
struct Extra {
  const char* name;
  const char* meaning;
};
constexpr Extra kExtras[] = {
    {"gear", "gear index 0 to 7 (gear images and the shift points of that gear)"},
    {"clock", "local time as HH:MM or HH:MM:SS (also timeofday in seconds)"},
    {"maxrpm", "maximum engine speed (rpmpercent), default 8000"},
    {"upshift", "up-shift point of every gear, default 7000"},
    {"downshift", "down-shift point of every gear, default 3000"},
};

// What --list says --set NAME=X does for a value source.
const char* meaningOf(const gauges::ValueSource& row) {
  if (row.previewMeaning) return row.previewMeaning();
  return row.kind == gauges::SourceKind::kCondition ? "condition: 1 makes it hold, 0 makes it not hold"
                                                    : "as the gauge reads it";
}

std::vector<std::string> allNames() {
  std::vector<std::string> names;
  for (const gauges::ValueSource& row : gauges::valueSources())
    if (row.id != gauges::kValueNone) names.push_back(row.keyword());
  for (const Extra& e : kExtras) names.push_back(e.name);
  return names;
}

template <typename T>
void put(std::vector<std::uint8_t>& block, std::uint32_t offset, T value) {
  std::memcpy(block.data() + offset, &value, sizeof value);
}
template <typename T>
T get(const std::vector<std::uint8_t>& block, std::uint32_t offset) {
  T v;
  std::memcpy(&v, block.data() + offset, sizeof v);
  return v;
}
void putPointer(std::vector<std::uint8_t>& block, std::uint32_t offset, void* p) {
  // The host's records hold 32-bit pointers.
  put(block, offset, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)));
}

constexpr float kKelvin = 273.15f;

bool parseClock(const std::string& text, std::tm& out) {
  int h = 0, m = 0, s = 0;
  char tail = 0;
  const int n = std::sscanf(text.c_str(), "%d:%d:%d%c", &h, &m, &s, &tail);
  if (n < 2 || n > 3 || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return false;
  out.tm_hour = h;
  out.tm_min = m;
  out.tm_sec = s;
  return true;
}

}  // namespace

PreviewCar::PreviewCar()
    : carState_(host::kCarStateBlockSize), carObject_(host::kCarObjectSize), damage_(host::kDamageRecordSize),
      engine_(host::kEngineRecordSize), valueBlock_(host::kGaugeValueBlockSize) {
  car_.context.upshiftRpm.assign(8, 7000.0f);
  car_.context.downshiftRpm.assign(8, 3000.0f);
  car_.context.maxRpm = 8000.0f;
  install();
  put(engine_, host::kWaterTempOffset, 90.0f + kKelvin);
  put(engine_, host::kOilTempOffset, 90.0f + kKelvin);
  put(damage_, host::kBatteryOffset, 1.0f);        // battery charge: 12.8 V, not low
  put(damage_, host::kDamageWarningOffset, 1.0f);  // no damage warning
  put(carState_, host::kGearOffset, std::int32_t{1});
  put(carObject_, host::kShiftGearOffset, std::int32_t{1});
  car_.context.clock.tm_hour = 12;
}

PreviewCar::~PreviewCar() {
  auto& p = host::pointers();
  p.carStateBlock = nullptr;
  p.carObject = nullptr;
  p.gaugeValueBlock = nullptr;
}

void PreviewCar::install() {
  auto& p = host::pointers();
  p.carStateBlock = carState_.data();
  p.carObject = carObject_.data();
  p.gaugeValueBlock = valueBlock_.data();
  putPointer(carObject_, host::kDamageBlockOffset, damage_.data());
  putPointer(carObject_, host::kEngineRecordOffset, engine_.data());
}

bool PreviewCar::knows(const std::string& name) {
  for (const std::string& n : allNames())
    if (n == name) return true;
  return false;
}

std::string PreviewCar::describeNames() {
  std::string out;
  for (const gauges::ValueSource& row : gauges::valueSources())
    if (row.id != gauges::kValueNone) out += std::string("  ") + row.keyword() + " - " + meaningOf(row) + "\n";
  for (const Extra& e : kExtras) out += std::string("  ") + e.name + " - " + e.meaning + "\n";
  return out;
}

bool PreviewCar::set(const std::string& name, const std::string& text, std::string& error) {
  if (!knows(name)) {
    error = "unknown value \"" + name + "\"";
    const std::string near = gauges::nearestSpelling(name, allNames());
    if (!near.empty()) error += ", did you mean \"" + near + "\"?";
    error += " (--list shows every name)";
    return false;
  }
  if (name == "clock") {
    if (parseClock(text, car_.context.clock)) return true;
    error = "clock=" + text + ": give the time as HH:MM or HH:MM:SS";
    return false;
  }
  float v = 0.0f;
  const auto end = text.find_last_not_of(" \t");
  if (!parseFloat(text.c_str(), v) || !std::isfinite(v) ||
      text.find_first_not_of("0123456789+-.eE ") != std::string::npos || end == std::string::npos) {
    error = name + "=" + text + ": not a number";
    return false;
  }
  return set(name, static_cast<double>(v), error);
}

bool PreviewCar::set(const std::string& name, double value, std::string& error) {
  if (!knows(name)) return set(name, std::string("0"), error);  // for the message
  if (name == "clock") {
    error = "clock takes a time (HH:MM); sweep timeofday to move it";
    return false;
  }
  if (setDerived(name, value)) return true;
  const gauges::ValueSource* row = gauges::valueSource(gauges::gaugeValueIdFromKeyword(name));
  if (row && row->preview) row->preview(car_, value);
  return true;
}

bool PreviewCar::setDerived(const std::string& name, double value) {
  const float v = static_cast<float>(value);
  if (name == "gear") {
    const auto g = static_cast<std::int32_t>(std::lround(value));
    put(carState_, host::kGearOffset, g);
    put(carObject_, host::kShiftGearOffset, g);
  } else if (name == "maxrpm") {
    car_.context.maxRpm = v;
  } else if (name == "upshift") {
    car_.context.upshiftRpm.assign(8, v);
  } else if (name == "downshift") {
    car_.context.downshiftRpm.assign(8, v);
  } else {
    return false;
  }
  return true;
}

void PreviewCar::readEngineText(const std::string& text) {
  gauges::parseShiftTable(text, true, car_.context.upshiftRpm, car_.context.maxRpm);
  gauges::parseShiftTable(text, false, car_.context.downshiftRpm, car_.context.maxRpm);
}

void PreviewCar::prepare(gauges::GaugeValueContext& context) const {
  context.upshiftRpm = car_.context.upshiftRpm;
  context.downshiftRpm = car_.context.downshiftRpm;
  context.maxRpm = car_.context.maxRpm;
  context.startCaptured = true;
  context.startValue = static_cast<float>(get<float>(carState_, host::kDistance3Offset) + car_.drivenMetres);
  context.clock = car_.context.clock;
  context.clockValid = true;  // the renderer clears it after each frame
}

}  // namespace ostrel::preview
