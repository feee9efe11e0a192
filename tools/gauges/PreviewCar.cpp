#include "PreviewCar.h"

#include <cmath>
#include <cstring>

#include "gauges/GaugeLint.h"
#include "gauges/GaugeValueId.h"
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

// What --set NAME=X does, by value source id.
const char* meaningOf(gauges::GaugeValueId id) {
  switch (id) {
    case 2: return "percent of maxrpm (sets rpm)";
    case 5: case 6: case 7: return "as the gauge reads it (sets wheel and ground speed)";
    case 8: case 9: return "degrees Celsius";
    case 10: case 11: return "oil pressure as the gauge reads it";
    case 12: return "seconds";
    case 13: case 14: return "part of stagetime";
    case 21: return "kilometres driven since the set was loaded";
    case 22: return "metres driven since the set was loaded";
    case 23: case 24: return "boost (switches the boost flag on)";
    case 25: return "volts (switches the boost flag off)";
    case 26: return "seconds since midnight (sets the clock)";
    case 27: case 28: case 29: return "part of the clock";
    case 35: return "engine speed relative to the gear's up-shift point (sets rpm)";
    case 36: return "engine speed relative to the gear's down-shift point (sets rpm)";
    default: break;
  }
  if (id >= 37) return "condition: 1 makes it hold, 0 makes it not hold";
  return "as the gauge reads it";
}

std::vector<std::string> allNames() {
  std::vector<std::string> names;
  for (int id = 1; id < gauges::kGaugeValueCount; ++id) names.push_back(gauges::gaugeValueKeyword(id));
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
constexpr float kPsiPerBar = 14.5037f;

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
    : carState_(0x800), carObject_(0x1200), damage_(0x200), engine_(0x300), valueBlock_(16),
      upshiftRpm_(8, 7000.0f), downshiftRpm_(8, 3000.0f) {
  install();
  put(engine_, 0x23C, 90.0f + kKelvin);  // water
  put(engine_, 0x20, 90.0f + kKelvin);   // oil
  put(damage_, 0x8C, 1.0f);              // battery charge: 12.8 V, not low
  put(damage_, 0xEC, 1.0f);              // no damage warning
  put(carState_, 0x170, std::int32_t{1});
  put(carObject_, 0x1100, std::int32_t{1});
  clock_.tm_hour = 12;
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

float PreviewCar::carState(std::uint32_t offset) const { return get<float>(carState_, offset); }
float PreviewCar::upshift() const {
  const auto g = get<std::int32_t>(carObject_, 0x1100);
  return g >= 0 && g < 8 ? upshiftRpm_[static_cast<std::size_t>(g)] : 0.0f;
}
float PreviewCar::downshift() const {
  const auto g = get<std::int32_t>(carObject_, 0x1100);
  return g >= 0 && g < 8 ? downshiftRpm_[static_cast<std::size_t>(g)] : 0.0f;
}

bool PreviewCar::knows(const std::string& name) {
  for (const std::string& n : allNames())
    if (n == name) return true;
  return false;
}

std::string PreviewCar::describeNames() {
  std::string out;
  for (int id = 1; id < gauges::kGaugeValueCount; ++id)
    out += std::string("  ") + gauges::gaugeValueKeyword(id) + " - " + meaningOf(id) + "\n";
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
    if (parseClock(text, clock_)) return true;
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
  const float v = static_cast<float>(value);
  switch (gauges::gaugeValueIdFromKeyword(name)) {
    case 1: put(carState_, 0x14, v); break;
    case 2: put(carState_, 0x10, v / 100.0f * maxRpm_); break;
    case 3: put(carState_, 0x10, v); break;
    case 4: put(carState_, 0x0C, v); break;
    case 5:
      // The gauge takes the integer part of the ground speed: a quarter up
      // keeps whole values whole after the float round trip.
      put(carObject_, 0x1C0, (std::fabs(v) + 0.25f) / 3.578f);
      put(carObject_, 0x1C4, 0.0f);
      break;
    case 6: case 7: {
      float g = std::floor((std::fabs(get<float>(carObject_, 0x1C0)) + std::fabs(get<float>(carObject_, 0x1C4))) * 3.578f);
      if (g < 1.0f) {
        g = 100.0f;
        put(carObject_, 0x1C0, (g + 0.25f) / 3.578f);
        put(carObject_, 0x1C4, 0.0f);
      }
      const float f = std::fmin(1.0f, std::fmax(0.0f, v));
      put(carState_, 0x0C, name == gauges::gaugeValueKeyword(6) ? g * (1.0f + f) : g * (1.0f - f));
      break;
    }
    case 8: put(engine_, 0x23C, v + kKelvin); break;
    case 9: put(engine_, 0x20, v + kKelvin); break;
    case 10: return set(gauges::gaugeValueKeyword(11), value / kPsiPerBar, error);
    case 11:
      if (v >= 1.03421f) {
        put(engine_, 0x24C, 1.0f);
        put(engine_, 0x25C, (v - 1.03421f) / 0.00001f);
      } else {
        put(engine_, 0x24C, std::fmax(0.0f, v) * 0.02f / 1.03421f);
        put(engine_, 0x25C, 0.0f);
      }
      break;
    case 12: put(carState_, 0x140, v); break;
    case 13: put(carState_, 0x140, v * 60.0f); break;
    case 14: put(carState_, 0x140, std::floor(carState(0x140) / 60.0f) * 60.0f + v); break;
    case 15: put(carState_, 0x20, v * 1000.0f); break;
    case 16: put(carState_, 0x24, v * 1000.0f); break;
    case 17: put(carState_, 0x28, v * 1000.0f); break;
    case 18: put(carState_, 0x20, v); break;
    case 19: put(carState_, 0x24, v); break;
    case 20: put(carState_, 0x28, v); break;
    case 21: driven_ = value * 1000.0; break;
    case 22: driven_ = value; break;
    case 23:
      put(carState_, 0x2B8, std::int32_t{1});
      put(carState_, 0x18, v * 100000.0f);
      break;
    case 24: return set(gauges::gaugeValueKeyword(23), value / kPsiPerBar, error);
    case 25:
      put(carState_, 0x2B8, std::int32_t{0});
      put(damage_, 0x8C, (v - 10.4f) / 2.4f);
      break;
    case 26: {
      const long s = static_cast<long>(std::fmod(std::fmax(0.0, value), 86400.0));
      clock_.tm_hour = static_cast<int>(s / 3600);
      clock_.tm_min = static_cast<int>(s / 60 % 60);
      clock_.tm_sec = static_cast<int>(s % 60);
      break;
    }
    case 27: clock_.tm_hour = static_cast<int>(value) % 24; break;
    case 28: clock_.tm_min = static_cast<int>(value) % 60; break;
    case 29: clock_.tm_sec = static_cast<int>(value) % 60; break;
    case 30: put(carObject_, 0x85C, v); break;
    case 31: put(carObject_, 0x860, v); break;
    case 32: put(carObject_, 0x86C, v); break;
    case 33: put(carObject_, 0x864, v); break;
    case 34: put(carObject_, 0x868, v); break;
    case 35: put(carState_, 0x10, upshift() + v); break;
    case 36: put(carState_, 0x10, downshift() + v); break;
    case 37: put(carState_, 0x2B8, std::int32_t{v != 0.0f}); break;
    case 38: put(carState_, 0x2B8, std::int32_t{v == 0.0f}); break;
    case 39: put(carObject_, 0x864, v != 0.0f ? 1.0f : 0.0f); break;
    case 40: put(damage_, 0xEC, v != 0.0f ? 0.5f : 1.0f); break;
    case 41:
      if (v != 0.0f)
        put(engine_, 0x23C, 150.0f + kKelvin);
      else if (get<float>(engine_, 0x23C) - kKelvin > 140.0f)
        put(engine_, 0x23C, 90.0f + kKelvin);
      break;
    case 42:
      if (v != 0.0f)
        put(carState_, 0x14, 130.0f);
      else if (carState(0x14) > 120.0f)
        put(carState_, 0x14, 120.0f);
      break;
    case 43: put(damage_, 0x8C, v != 0.0f ? 0.5f : 1.0f); break;
    default: break;
  }
  return true;
}

bool PreviewCar::setDerived(const std::string& name, double value) {
  const float v = static_cast<float>(value);
  if (name == "gear") {
    const auto g = static_cast<std::int32_t>(std::lround(value));
    put(carState_, 0x170, g);
    put(carObject_, 0x1100, g);
  } else if (name == "maxrpm") {
    maxRpm_ = v;
  } else if (name == "upshift") {
    upshiftRpm_.assign(8, v);
  } else if (name == "downshift") {
    downshiftRpm_.assign(8, v);
  } else {
    return false;
  }
  return true;
}

void PreviewCar::readEngineText(const std::string& text) {
  gauges::parseShiftTable(text, true, upshiftRpm_, maxRpm_);
  gauges::parseShiftTable(text, false, downshiftRpm_, maxRpm_);
}

void PreviewCar::prepare(gauges::GaugeValueContext& context) const {
  context.upshiftRpm = upshiftRpm_;
  context.downshiftRpm = downshiftRpm_;
  context.maxRpm = maxRpm_;
  context.startCaptured = true;
  context.startValue = static_cast<float>(carState(0x28) + driven_);
  context.clock = clock_;
  context.clockValid = true;  // the renderer clears it after each frame
}

}  // namespace ostrel::preview
