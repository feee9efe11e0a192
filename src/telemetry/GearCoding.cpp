#include "telemetry/GearCoding.h"

#include <cctype>

#include "plugin/FixedText.h"

namespace ostrel::telemetry {

const char* defaultGearMapText() { return FT("N,1,2,3,4,5,6,R"); }

GearMap defaultGearMap() {
  GearMap map{};
  for (int i = 1; i <= 6; ++i) map[static_cast<std::size_t>(i)] = {Gear::Kind::kForward, static_cast<std::uint8_t>(i)};
  map[7] = {Gear::Kind::kReverse, 0};
  return map;
}

std::optional<GearMap> parseGearMap(const std::string& text, std::string& problem) {
  GearMap map{};
  int count = 0;
  std::string entry;
  auto take = [&](const std::string& word) {
    if (count >= kGearIndexCount) {
      problem = FT("more than eight gears");
      return false;
    }
    Gear& gear = map[static_cast<std::size_t>(count++)];
    if (word.size() == 1 && (word[0] == 'N' || word[0] == 'n')) {
      gear = {Gear::Kind::kNeutral, 0};
    } else if (word.size() == 1 && (word[0] == 'R' || word[0] == 'r')) {
      gear = {Gear::Kind::kReverse, 0};
    } else if (word.size() == 1 && word[0] >= '1' && word[0] <= '9') {
      gear = {Gear::Kind::kForward, static_cast<std::uint8_t>(word[0] - '0')};
    } else {
      problem = "\"" + word + FT("\" is not N, R or a forward gear 1 to 9");
      return false;
    }
    return true;
  };
  for (char c : text + ",") {
    if (c == ',') {
      if (!take(entry)) return std::nullopt;
      entry.clear();
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      entry += c;
    }
  }
  if (count != kGearIndexCount) {
    problem = FT("it names ") + std::to_string(count) + FT(" gears, not one for each of the eight gear indexes");
    return std::nullopt;
  }
  return map;
}

Gear gearOf(const GearMap& map, std::int32_t gearIndex) {
  if (gearIndex < 0 || gearIndex >= kGearIndexCount) return {};
  return map[static_cast<std::size_t>(gearIndex)];
}

int forwardGearCount(const GearMap& map) {
  int highest = 0;
  for (const Gear& g : map)
    if (g.kind == Gear::Kind::kForward && g.number > highest) highest = g.number;
  return highest;
}

float formatAGear(Gear gear, std::int32_t reverseCode) {
  switch (gear.kind) {
    case Gear::Kind::kReverse: return static_cast<float>(reverseCode);
    case Gear::Kind::kForward: return static_cast<float>(gear.number);
    default: return 0.0f;
  }
}

std::uint8_t formatBGear(Gear gear) {
  switch (gear.kind) {
    case Gear::Kind::kReverse: return 0;
    case Gear::Kind::kForward: return static_cast<std::uint8_t>(gear.number + 1);
    default: return 1;
  }
}

}  // namespace ostrel::telemetry
